"""A log observer made in Python: a C++ object the library can call.

The library calls an observer through the first entry of its table of virtual functions,
`void OnLog(int level, std::string line)` (qrx/log_service.h). Under the Itanium C++ ABI the
object starts with a pointer to that entry, and a std::string passed by value arrives as a
pointer to the caller's string, whose libstdc++ layout begins with its data pointer and size."""
import ctypes
from typing import Callable

OnLogFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p)


class _ObserverObject(ctypes.Structure):
    _fields_ = [("vptr", ctypes.c_void_p)]


def _read_std_string(address: int) -> bytes:
    data = ctypes.c_void_p.from_address(address).value
    size = ctypes.c_size_t.from_address(address + ctypes.sizeof(ctypes.c_void_p)).value
    return ctypes.string_at(data, size) if data and size else b""


class LogObserver:
    """Calls handler(level, line) for each log line of the stations it is registered with.
    Keep the object alive while it is registered."""

    def __init__(self, handler: Callable[[int, str], None], encoding: str = "gbk"):
        self.handler = handler

        def on_log(_this, level, line):
            try:
                handler(level, _read_std_string(line).decode(encoding, errors="replace"))
            except Exception:
                import traceback
                traceback.print_exc()

        self._on_log = OnLogFn(on_log)
        # offset to top, type information, then the one virtual function.
        self._table = (ctypes.c_void_p * 3)(0, 0, ctypes.cast(self._on_log, ctypes.c_void_p))
        self._object = _ObserverObject(ctypes.addressof(self._table) + 2 * ctypes.sizeof(ctypes.c_void_p))

    @property
    def pointer(self) -> int:
        return ctypes.addressof(self._object)
