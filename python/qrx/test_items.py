"""Test items as structured records, for libraries that export QRX_SetTestItemHandler
(qrx/host_events.h). Kept apart: the record's layout is the one place that must follow
that header."""
import ctypes
from dataclasses import dataclass
from typing import Callable, Optional


class TestItemEventStruct(ctypes.Structure):
    _fields_ = [
        ("struct_size", ctypes.c_size_t),
        ("thread_index", ctypes.c_int32),
        ("source", ctypes.c_char_p),
        ("item", ctypes.c_char_p),
        ("value", ctypes.c_char_p),
        ("upper", ctypes.c_char_p),
        ("lower", ctypes.c_char_p),
        ("value_number", ctypes.c_double),
        ("upper_number", ctypes.c_double),
        ("lower_number", ctypes.c_double),
        ("has_value_number", ctypes.c_int32),
        ("has_upper_number", ctypes.c_int32),
        ("has_lower_number", ctypes.c_int32),
        ("verdict", ctypes.c_char_p),
        ("passed", ctypes.c_int32),
        ("tag", ctypes.c_int32),
        ("monotonic_ns", ctypes.c_int64),
        ("wall_us", ctypes.c_int64),
    ]


TestItemFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(TestItemEventStruct))


@dataclass(frozen=True)
class TestItem:
    """One logged test item, copied out of the library's record (texts in UTF-8)."""
    __test__ = False  # not a pytest test class

    thread_index: int
    source: str
    item: str
    value: str
    upper: str
    lower: str
    value_number: Optional[float]
    upper_number: Optional[float]
    lower_number: Optional[float]
    verdict: str
    passed: bool
    tag: int
    monotonic_ns: int
    wall_us: int

    @classmethod
    def from_struct(cls, e: TestItemEventStruct) -> "TestItem":
        text = lambda raw: (raw or b"").decode("utf-8", errors="replace")
        return cls(e.thread_index, text(e.source), text(e.item), text(e.value), text(e.upper),
                   text(e.lower), e.value_number if e.has_value_number else None,
                   e.upper_number if e.has_upper_number else None,
                   e.lower_number if e.has_lower_number else None, text(e.verdict),
                   bool(e.passed), e.tag, e.monotonic_ns, e.wall_us)


class TestItemBinding:
    __test__ = False

    def __init__(self, dll):
        self._set = getattr(dll, "QRX_SetTestItemHandler", None)
        if self._set is not None:
            self._set.argtypes = [TestItemFn, ctypes.c_void_p]
            self._set.restype = ctypes.c_int
        self._callback = None

    @property
    def available(self) -> bool:
        return self._set is not None

    def install(self, handler: Optional[Callable[[TestItem], None]]) -> None:
        if self._set is None:
            raise NotImplementedError("this libQRXInterface.so has no QRX_SetTestItemHandler")
        if handler is None:
            self._set(ctypes.cast(None, TestItemFn), None)
            self._callback = None
            return

        def relay(_context, event):
            try:
                # A library with a shorter record than ours is not read past its end.
                if event and event.contents.struct_size >= ctypes.sizeof(TestItemEventStruct):
                    handler(TestItem.from_struct(event.contents))
            except Exception:
                import traceback
                traceback.print_exc()

        callback = TestItemFn(relay)
        self._set(callback, None)
        # The previous callback is no longer running once the library returned.
        self._callback = callback
