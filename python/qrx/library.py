"""The loaded libQRXInterface.so: its exports as ctypes functions typed from the catalogue,
and the process-wide handlers a host installs (message boxes, the serial-number prompt, test
items)."""
import ctypes
import os
from dataclasses import dataclass
from typing import Callable, Dict, Optional

from . import catalogue as cat
from .log_lines import LogLines
from .test_items import TestItemBinding


class DownloadEventStruct(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_int32), ("value1", ctypes.c_int32), ("value2", ctypes.c_int32),
                ("value3", ctypes.c_int32), ("value4", ctypes.c_int32), ("value5", ctypes.c_int32)]


@dataclass(frozen=True)
class DownloadEvent:
    """One progress report of an image download (see qrx/download_event.h).

    kind 0 started, 1 progress, 2 verifying, 3 finished, 4 error; the values' meaning depends
    on the kind and the plug-in. `job` and `percent` read them as the simulated plug-ins send."""
    kind: int
    value1: int
    value2: int
    value3: int
    value4: int
    value5: int

    @property
    def job(self) -> int:
        return self.value3 if self.kind == 0 else self.value4 if self.kind == 1 else self.value1

    @property
    def percent(self) -> Optional[int]:
        return self.value1 if self.kind == 1 else None

    @property
    def succeeded(self) -> Optional[bool]:
        return self.value5 == 1 if self.kind == 3 else None


DownloadCallback = ctypes.CFUNCTYPE(ctypes.c_int32, DownloadEventStruct)
MessageBoxFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p)
MatchFn = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p)
SerialPromptFn = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p, MatchFn,
                                  ctypes.c_void_p, ctypes.POINTER(ctypes.c_char), ctypes.c_size_t)

_C_TYPES = {cat.INT: ctypes.c_int32, cat.DOUBLE: ctypes.c_double, cat.TEXT: ctypes.c_char_p,
            cat.TEXT_BUFFER: ctypes.c_void_p, cat.DOUBLE_OUT: ctypes.POINTER(ctypes.c_double),
            cat.CALLBACK: DownloadCallback, cat.OBSERVER: ctypes.c_void_p}


class SerialPrompt:
    """What the operator is asked for: a text matching `pattern`, checked by the library."""

    def __init__(self, pattern: str, matches: Callable[[bytes], bool], encoding: str):
        self.pattern = pattern
        self._matches = matches
        self._encoding = encoding

    def matches(self, text: str) -> bool:
        return self._matches(text.encode(self._encoding))


class Library:
    """libQRXInterface.so loaded into this process. One per process: the handlers it installs
    are the library's process-wide ones."""

    def __init__(self, path: str, catalogue: Optional[cat.Catalogue] = None,
                 encoding: str = "gbk"):
        self.path = os.path.abspath(path)
        self.catalogue = catalogue or cat.Catalogue.load()
        # Texts cross the boundary in the process's ANSI code page: GBK unless QRX_ACP says.
        self.encoding = encoding
        self._dll = ctypes.CDLL(self.path, mode=os.RTLD_NOW | os.RTLD_LOCAL)
        self._functions: Dict[str, ctypes._CFuncPtr] = {}
        self._keep: Dict[str, object] = {}
        self._test_items = TestItemBinding(self._dll)
        self.log_lines = LogLines(self._dll)
        get_version = self._dll.QRX_GetVersion if hasattr(self._dll, "QRX_GetVersion") else None
        if get_version is not None:
            get_version.restype = ctypes.c_char_p
            get_version.argtypes = []
        self._get_version = get_version

    @classmethod
    def open(cls, station_dir: str, library: Optional[str] = None, **kwargs) -> "Library":
        """Loads the library for a deployment directory, as a station host must: the process
        works in that directory (test libraries and plug-ins are found relative to it), VISA is
        the deployment's own libvisa.so when QRX_VISA_LIBRARY is unset, and a library from
        elsewhere (an installed, shared one) reads the deployment's BusinessCfg through
        QRX_STATION_DIR."""
        station_dir = os.path.abspath(station_dir)
        library = os.path.abspath(library) if library else os.path.join(station_dir, "libQRXInterface.so")
        os.chdir(station_dir)
        visa = os.path.join(station_dir, "libvisa.so")
        if not os.environ.get("QRX_VISA_LIBRARY") and os.path.exists(visa):
            os.environ["QRX_VISA_LIBRARY"] = visa
        if os.path.dirname(os.path.realpath(library)) != os.path.realpath(station_dir):
            os.environ.setdefault("QRX_STATION_DIR", station_dir)
        return cls(library, **kwargs)

    @property
    def version(self) -> Optional[str]:
        """The loaded library's version, None for a library without the version export."""
        return self._get_version().decode() if self._get_version else None

    def function(self, name: str):
        """The export `name` as a ctypes function with the catalogue's argument types."""
        fn = self._functions.get(name)
        if fn is None:
            export = self.catalogue.find(name)
            fn = getattr(self._dll, name)
            fn.restype = ctypes.c_int32
            fn.argtypes = [_C_TYPES[t] for t in export.arguments]
            self._functions[name] = fn
        return fn

    def encode(self, text) -> bytes:
        return text if isinstance(text, bytes) else text.encode(self.encoding)

    def decode(self, raw: bytes) -> str:
        return raw.decode(self.encoding, errors="replace")

    # ---- process-wide handlers ---------------------------------------------------------

    def set_message_box_handler(self, handler: Optional[Callable[[str, str], None]]) -> None:
        """handler(caption, text) is called for every message box the library shows, on the
        thread that shows it; None restores the library's default (a line on stderr)."""
        fn = self._dll.QRX_SetMessageBoxHandler
        fn.argtypes = [MessageBoxFn, ctypes.c_void_p]
        if handler is None:
            fn(ctypes.cast(None, MessageBoxFn), None)
            self._keep.pop("message_box", None)
            return

        def relay(_context, caption, text):
            try:
                handler(self.decode(caption or b""), self.decode(text or b""))
            except Exception:  # an exception must not unwind through the library
                import traceback
                traceback.print_exc()

        callback = MessageBoxFn(relay)
        self._keep["message_box"] = callback
        fn(callback, None)

    def set_serial_prompt_handler(self, handler: Optional[Callable[[SerialPrompt], Optional[str]]]) -> None:
        """handler(prompt) answers the operator's serial-number prompt with a text, or None to
        cancel; an answer that does not match prompt.pattern counts as a cancel. None restores
        the library's default (the terminal)."""
        fn = self._dll.QRX_SetSerialPromptHandler
        fn.argtypes = [SerialPromptFn, ctypes.c_void_p]
        if handler is None:
            fn(ctypes.cast(None, SerialPromptFn), None)
            self._keep.pop("serial_prompt", None)
            return

        def relay(_context, pattern, matches, matcher, out, size):
            try:
                prompt = SerialPrompt(self.decode(pattern or b""),
                                      lambda raw: matches(matcher, raw) == 1, self.encoding)
                answer = handler(prompt)
                if answer is None:
                    return 0
                raw = self.encode(answer)
                if len(raw) + 1 > size or matches(matcher, raw) != 1:
                    return 0
                ctypes.memmove(out, raw + b"\0", len(raw) + 1)
                return 1
            except Exception:
                import traceback
                traceback.print_exc()
                return 0

        callback = SerialPromptFn(relay)
        self._keep["serial_prompt"] = callback
        fn(callback, None)

    @property
    def has_test_items(self) -> bool:
        """True when the library hands test items to hosts as structured records."""
        return self._test_items.available

    def set_test_item_handler(self, handler) -> None:
        """handler(TestItem) for every test item any station logs, on the logging station's
        thread; None removes it. Raises NotImplementedError for a library without the export."""
        self._test_items.install(handler)
