"""Log lines through QRX_SetLogLineHandler (qrx/host_events.h): the library hands every line
that a station's log observers receive to one C handler, with the station's thread index, so
no C++ object is made on this side. The record's layout is the one place that must follow
that header."""
import ctypes
import threading
from typing import Callable, Dict, List


class LogLineEventStruct(ctypes.Structure):
    _fields_ = [
        ("struct_size", ctypes.c_size_t),
        ("thread_index", ctypes.c_int32),
        ("level", ctypes.c_int32),
        ("line", ctypes.c_char_p),
        ("line_utf8", ctypes.c_char_p),
    ]


LogLineFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(LogLineEventStruct))


class LogLines:
    """Hands each line to the handlers registered for its station, handler(level, line), on
    the logging station's thread. The library's handler is installed with the first one."""

    def __init__(self, dll):
        self._set = getattr(dll, "QRX_SetLogLineHandler", None)
        if self._set is not None:
            self._set.argtypes = [LogLineFn, ctypes.c_void_p]
            self._set.restype = ctypes.c_int
        self._lock = threading.Lock()
        self._handlers: Dict[int, List[Callable[[int, str], None]]] = {}
        self._callback = None

    @property
    def available(self) -> bool:
        return self._set is not None

    def add(self, index: int, handler: Callable[[int, str], None]) -> None:
        if self._set is None:
            raise NotImplementedError("this QRXInterface library has no QRX_SetLogLineHandler")
        with self._lock:
            handlers = self._handlers.setdefault(index, [])
            if handler not in handlers:
                handlers.append(handler)
            install = self._callback is None
            if install:
                self._callback = LogLineFn(self._relay)
        if install:
            self._set(self._callback, None)

    def remove(self, index: int, handler: Callable[[int, str], None]) -> None:
        with self._lock:
            handlers = self._handlers.get(index, [])
            if handler in handlers:
                handlers.remove(handler)

    def _relay(self, _context, event) -> None:
        try:
            # A library with a shorter record than ours is not read past its end.
            if not event or event.contents.struct_size < ctypes.sizeof(LogLineEventStruct):
                return
            e = event.contents
            with self._lock:
                handlers = list(self._handlers.get(e.thread_index, ()))
            line = (e.line_utf8 or b"").decode("utf-8", errors="replace")
            for handler in handlers:
                handler(e.level, line)
        except Exception:
            import traceback
            traceback.print_exc()
