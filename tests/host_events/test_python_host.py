"""A Python host of libQRXInterface.so through ctypes: installs the test-item handler, runs
measurement steps of the simulated station on two station threads and checks the records."""
import ctypes
import os
import tempfile
import threading

import pytest

STATION = os.environ.get("QRX_STATION_DIR", "")


class TestItemEvent(ctypes.Structure):
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


HANDLER = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(TestItemEvent))


@pytest.fixture(scope="module")
def lib():
    if not STATION or not os.path.isfile(os.path.join(STATION, "libQRXInterface.so")):
        pytest.skip("no simulated station")
    state = tempfile.TemporaryDirectory()
    os.environ["QRX_SIM_STATE_DIR"] = state.name
    os.environ.setdefault("QRX_VISA_LIBRARY", os.path.join(STATION, "libvisa.so"))
    os.chdir(STATION)
    library = ctypes.CDLL(os.path.join(STATION, "libQRXInterface.so"), mode=os.RTLD_LOCAL)
    library.InitQRXInterface.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p]
    library.GSM_NST_MeasPower.argtypes = [ctypes.c_int] * 3
    library.QRX_SetTestItemHandler.argtypes = [HANDLER, ctypes.c_void_p]
    yield library
    state.cleanup()


def run_station(library, index, config, results):
    # Stations start and end one at a time; the caller serialises that with a lock.
    with START:
        results[index] = [library.InitQRXInterface(index, config, b"QRX")]
    results[index].append(library.GSM_NST_MeasPower(1, 62, 5))
    results[("thread", index)] = threading.get_ident()
    with START:
        library.CleanUpQRXInterface()


START = threading.Lock()


def test_records_of_two_stations_arrive_with_limits_and_verdicts(lib):
    records = []
    lock = threading.Lock()

    def on_item(_context, event):
        e = event.contents
        with lock:
            records.append({
                "size": e.struct_size,
                "index": e.thread_index,
                "item": e.item.decode("utf-8"),
                "value": e.value.decode(), "lower": e.lower.decode(), "upper": e.upper.decode(),
                "numbers": (e.value_number, e.lower_number, e.upper_number)
                if e.has_value_number and e.has_lower_number and e.has_upper_number else None,
                "verdict": e.verdict.decode(), "passed": e.passed,
                "thread": threading.get_ident(),
            })

    handler = HANDLER(on_item)
    assert lib.QRX_SetTestItemHandler(handler, None) == 0
    results = {}
    threads = [threading.Thread(target=run_station, args=(lib, 11, b"QRX_Station.xml", results)),
               threading.Thread(target=run_station, args=(lib, 12, b"QRX_Faulty.xml", results))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert lib.QRX_SetTestItemHandler(HANDLER(), None) == 0

    assert results[11] == [0, 0]
    assert results[12][0] == 0 and results[12][1] != 0
    healthy = [r for r in records if r["index"] == 11]
    faulty = [r for r in records if r["index"] == 12]
    assert healthy and faulty
    assert all(r["size"] == ctypes.sizeof(TestItemEvent) for r in records)
    for r in healthy:
        assert r["item"].startswith("GSM_NST_MeasPower")
        assert r["verdict"] == "PASS" and r["passed"] == 1
        value, lower, upper = r["numbers"]
        assert lower <= value <= upper
        assert float(r["value"]) == value
    assert any(r["verdict"] == "FAIL" and r["passed"] == 0 for r in faulty)
    # Each station's records arrive on that station's own thread.
    # (Python may give a new thread the number of one that has ended, so the numbers are compared
    # with each station's own thread rather than with each other.)
    assert {r["thread"] for r in healthy} == {results[("thread", 11)]}
    assert {r["thread"] for r in faulty} == {results[("thread", 12)]}


def test_removed_handler_hears_nothing(lib):
    heard = []
    handler = HANDLER(lambda _c, e: heard.append(e.contents.item))
    lib.QRX_SetTestItemHandler(handler, None)
    lib.QRX_SetTestItemHandler(HANDLER(), None)
    assert lib.InitQRXInterface(20, b"QRX_Station.xml", b"QRX") == 0
    assert lib.GSM_NST_MeasPower(1, 62, 5) == 0
    lib.CleanUpQRXInterface()
    assert heard == []
