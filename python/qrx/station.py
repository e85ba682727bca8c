"""A station: one thread of its own that owns the station in the library.

The library finds a station by the calling thread, so everything a station does (starting,
every export, stopping) runs on the Station's thread; the caller's thread only waits for the
result. Several Stations run side by side, as several host threads do."""
import ctypes
import queue
import threading
from concurrent.futures import Future
from typing import Any, Callable, Dict, Optional

from . import catalogue as cat
from .library import DownloadCallback, DownloadEvent, Library


class StationError(RuntimeError):
    """The station could not be started or is not running."""


class Station:
    """Station `index` (the thread index of InitQRXInterface) with a business configuration
    file of BusinessCfg and a product type ("QRX" or "UFI").

    Used as a context manager, it starts on entry (raising StationError when
    InitQRXInterface fails) and always ends with CleanUpQRXInterface. Every export is a method:

        station.GSM_NST_MeasPower(1, 62, 5)        -> 0
        station.ReadSN(0)                          -> (0, "SN0001")   buffers are not passed
        station.LTE_ReadPower_CabLoss()            -> (0, -1.5)
        station.StartDownloadImage("Images/a.bin", 0, on_progress, "", 0, 0, "")
        station.RegisterObserver(on_log)           on_log(level, line)
    """

    def __init__(self, library: Library, index: int = 0, config: str = "QRX_Station.xml",
                 product: str = "QRX"):
        self.library = library
        self.index = index
        self.config = config
        self.product = product
        self._jobs: "queue.Queue[Optional[tuple]]" = queue.Queue()
        self._thread: Optional[threading.Thread] = None
        self._started = False
        # ctypes callbacks the library may still call after the export returned.
        self._downloads: Dict[Callable, Any] = {}

    # ---- the station's thread -----------------------------------------------------------

    def _loop(self) -> None:
        while True:
            job = self._jobs.get()
            if job is None:
                return
            fn, args, future = job
            if not future.set_running_or_notify_cancel():
                continue
            try:
                future.set_result(fn(*args))
            except BaseException as error:  # handed to the waiting caller
                future.set_exception(error)

    def run_on_thread(self, fn: Callable, *args) -> Any:
        """Runs fn(*args) on the station's thread and returns its result."""
        if self._thread is None or not self._thread.is_alive():
            raise StationError(f"station {self.index} is not running")
        if threading.current_thread() is self._thread:
            return fn(*args)
        future: Future = Future()
        self._jobs.put((fn, args, future))
        return future.result()

    # ---- lifecycle ------------------------------------------------------------------------

    def start(self) -> int:
        """Starts the thread and calls InitQRXInterface on it; returns its result."""
        if self._thread is None:
            self._thread = threading.Thread(target=self._loop, name=f"qrx-station-{self.index}",
                                            daemon=True)
            self._thread.start()
        init = self.library.function("InitQRXInterface")
        result = self.run_on_thread(init, self.index, self.library.encode(self.config),
                                    self.library.encode(self.product))
        self._started = result == 0
        return result

    def close(self) -> int:
        """CleanUpQRXInterface on the station's thread, then ends the thread."""
        if self._thread is None:
            return 0
        result = 0
        if self._thread.is_alive():
            result = self.run_on_thread(self.library.function("CleanUpQRXInterface"))
            self._jobs.put(None)
            self._thread.join()
        self._thread = None
        self._started = False
        return result

    def __enter__(self) -> "Station":
        result = self.start()
        if result != 0:
            self.close()
            raise StationError(f"InitQRXInterface({self.index}, {self.config!r}, "
                               f"{self.product!r}) returned {result}")
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    # ---- exports --------------------------------------------------------------------------

    def call(self, name: str, *args):
        """Calls export `name` with the arguments a caller gives (buffers are made here).
        Returns the export's result, or (result, output) for exports that fill a buffer."""
        export = self.library.catalogue.find(name)
        if export.shape == "lifecycle":
            raise cat.CatalogueError(f"{name} is called by Station.start/close")
        export.check(args)
        if cat.OBSERVER in export.arguments:
            return self._observer(name, *args)
        fn = self.library.function(name)
        c_args, outputs = self._convert(export, args)
        result = self.run_on_thread(fn, *c_args)
        if not outputs:
            return result
        values = []
        for kind, buffer in outputs:
            if kind == cat.DOUBLE_OUT:
                values.append(buffer.value)
            else:
                values.append(self.library.decode(buffer.value))
        return (result, *values)

    def __getattr__(self, name: str):
        if name.startswith("_"):
            raise AttributeError(name)
        catalogue = self.__dict__["library"].catalogue if "library" in self.__dict__ else None
        if catalogue is None or name not in catalogue:
            raise AttributeError(f"{type(self).__name__} has no attribute or export '{name}'")
        return lambda *args: self.call(name, *args)

    def _convert(self, export: cat.Export, args: tuple):
        given = iter(args)
        c_args, outputs = [], []
        for kind in export.arguments:
            if kind == cat.TEXT_BUFFER:
                buffer = ctypes.create_string_buffer(export.buffer_size or 256)
                outputs.append((kind, buffer))
                c_args.append(ctypes.cast(buffer, ctypes.c_void_p))
            elif kind == cat.DOUBLE_OUT:
                value = ctypes.c_double(0.0)
                outputs.append((kind, value))
                c_args.append(ctypes.pointer(value))
            elif kind == cat.TEXT:
                c_args.append(self.library.encode(next(given)))
            elif kind == cat.CALLBACK:
                c_args.append(self._download_callback(next(given)))
            elif kind == cat.DOUBLE:
                c_args.append(float(next(given)))
            else:
                c_args.append(next(given))
        return c_args, outputs

    def _download_callback(self, handler: Optional[Callable[[DownloadEvent], Optional[int]]]):
        if handler is None:
            return ctypes.cast(None, DownloadCallback)
        callback = self._downloads.get(handler)
        if callback is None:
            def relay(event):
                try:
                    answer = handler(DownloadEvent(event.kind, event.value1, event.value2,
                                                   event.value3, event.value4, event.value5))
                    return int(answer or 0)
                except Exception:
                    import traceback
                    traceback.print_exc()
                    return 0
            # Progress keeps coming after StartDownloadImage returned: kept for the station's life.
            callback = self._downloads[handler] = DownloadCallback(relay)
        return callback

    def _observer(self, export: str, handler: Optional[Callable[[int, str], None]]) -> int:
        """RegisterObserver / UnRegisterObserver: the station's lines reach handler(level, line)
        through the library's log-line handler. 1 without a running station, as the exports."""
        if handler is None or not self._started:
            return 1
        if export == "RegisterObserver":
            self.library.log_lines.add(self.index, handler)
        else:
            self.library.log_lines.remove(self.index, handler)
        return 0
