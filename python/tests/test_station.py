"""Stations of the simulated line driven from Python: threads, handlers, downloads, buffers."""
import ctypes
import threading

import pytest

import qrx
from conftest import header_value


def test_two_stations_run_side_by_side_each_on_its_own_thread(library):
    assert library.version == header_value("QRX_VERSION_STRING")
    lines = {0: [], 1: []}
    threads = {0: set(), 1: set()}

    def observer(index):
        def on_log(level, line):
            lines[index].append(line)
            threads[index].add(threading.current_thread().name)
        return on_log

    results = {}

    def drive(station, steps):
        results[station.index] = [station.call(*step) for step in steps]

    with qrx.Station(library, 0, "QRX_Station.xml", "QRX") as phone, \
            qrx.Station(library, 1, "UFI_Station.xml", "UFI") as ufi:
        phone_log, ufi_log = observer(0), observer(1)
        assert phone.RegisterObserver(phone_log) == 0
        assert ufi.RegisterObserver(ufi_log) == 0
        drivers = [
            threading.Thread(target=drive, args=(phone, [
                ("Init_TestInterface",), ("Enter_GSMTestMode",), ("GSM_NST_MeasPower", 1, 62, 5),
                ("Init_TestDLL_SN",), ("OpenPort", 1, 115200), ("WriteSN", "PYTEST0001", 0),
                ("ReadSN", 0), ("LTE_ReadPower_CabLoss",)])),
            threading.Thread(target=drive, args=(ufi, [
                ("Init_TestInterface_Ufi",), ("WiFi_Config_Channel_Ufi", 6),
                ("WiFi_TxPwrCal_Ufi",)])),
        ]
        for d in drivers:
            d.start()
        for d in drivers:
            d.join()
        assert phone.UnRegisterObserver(phone_log) == 0
        # The phone station has no WiFi library: the export answers 1 without a service.
        assert phone.WiFi_TxPwrCal_Ufi() == 1
    assert results[0][:5] == [0, 0, 0, 0, 0]
    assert results[0][6] == (0, "PYTEST0001")
    code, power = results[0][7]
    # The double comes back through the pointer; it stays untouched unless the read succeeded.
    assert isinstance(power, float) and (code == 0 or power == 0.0)
    assert results[1] == [0, 0, 0]
    assert any("GSM_NST_MeasPower" in line for line in lines[0])
    assert not any("GSM_NST_MeasPower" in line for line in lines[1])
    assert threads == {0: {"qrx-station-0"}, 1: {"qrx-station-1"}}


def test_a_closed_station_refuses_calls_and_lifecycle_stays_with_the_station(library):
    library.boxes.clear()
    # A configuration in a folder that does not exist can be neither read nor created: the host
    # handler is told.
    with qrx.Station(library, 3, "no_such_folder/NoSuch_Station.xml", "QRX"):
        pass
    assert any("NoSuch_Station.xml" in text for _, text in library.boxes), library.boxes
    station = qrx.Station(library, 2, "QRX_Station.xml", "QRX")
    with station:
        with pytest.raises(qrx.CatalogueError, match="called by Station.start/close"):
            station.call("CleanUpQRXInterface")
        with pytest.raises(AttributeError):
            station.NoSuchExport()
        with pytest.raises(qrx.CatalogueError, match="takes 3 argument"):
            station.GSM_NST_MeasPower(1)
    with pytest.raises(qrx.StationError):
        station.Init_TestInterface()
    # The station really ended: a new one under the same index starts afresh.
    with qrx.Station(library, 2, "QRX_Station.xml", "QRX") as again:
        assert again.Init_TestInterface() == 0


def test_the_serial_prompt_is_answered_cancelled_or_refused_by_the_host(library):
    asked = []

    def answer_with(text):
        def handler(prompt):
            asked.append((prompt.pattern, prompt.matches("BRD9000000"), threading.current_thread().name))
            return text
        return handler

    try:
        with qrx.Station(library, 4, "UFI_Station.xml", "UFI") as ufi:
            assert ufi.Init_TestInterface_Ufi() == 0
            library.set_serial_prompt_handler(answer_with("BRD4000000"))
            assert ufi.ReadBarcode_Ufi(10) == (0, "BRD4000000")
            library.set_serial_prompt_handler(answer_with(None))
            cancelled = ufi.ReadBarcode_Ufi(10)
            library.set_serial_prompt_handler(answer_with("not a barcode"))
            refused = ufi.ReadBarcode_Ufi(10)
    finally:
        library.set_serial_prompt_handler(None)
    assert cancelled[0] not in (0, 1) and refused[0] == cancelled[0]
    assert len(asked) == 3
    pattern, matches, thread = asked[0]
    assert matches and pattern and thread == "qrx-station-4"


def test_download_progress_reaches_the_callback_until_it_finishes(library):
    events = []
    done = threading.Event()

    def progress(event):
        events.append(event)
        if event.kind == 3:
            done.set()
        return 0

    with qrx.Station(library, 5, "QRX_Station.xml", "QRX") as phone:
        assert phone.Init_TestDll_DL() == 0
        assert phone.StartDownloadImage("Images/bad_image.bin", 0, progress, "", 0, 0, "") == 1
        events.clear()
        assert phone.StartDownloadImage("Images/sim_image.bin", 0, progress, "", 0, 0, "") == 0
        assert done.wait(60)
    assert events[0].kind == 0
    jobs = {e.job for e in events}
    assert len(jobs) == 1
    percents = [e.percent for e in events if e.kind == 1]
    assert percents == sorted(percents) and percents[-1] == 100
    assert events[-1].kind == 3 and events[-1].succeeded


def _written_length(library, station, name, *args, size=512):
    """Calls export name with a canary-filled buffer; returns (result, last byte written + 1)."""
    buffer = ctypes.create_string_buffer(b"\xAA" * size, size)
    export = library.catalogue.find(name)
    given = iter(args)
    c_args = [ctypes.cast(buffer, ctypes.c_void_p) if t == "b" else next(given) for t in export.arguments]
    result = station.run_on_thread(library.function(name), *c_args)
    raw = buffer.raw
    written = max((i + 1 for i, byte in enumerate(raw) if byte != 0xAA), default=0)
    return result, written


def test_read_exports_stay_within_the_documented_buffer_sizes(library):
    with qrx.Station(library, 6, "QRX_Station.xml", "QRX") as phone:
        assert phone.Init_TestDLL_SN() == 0
        assert phone.WriteSN("S" * 49, 0) == 0
        assert phone.WriteIMEI("8" * 15, 0) == 0
        for name, args in [("ReadSN", (0,)), ("ReadIMEI", (0,)), ("ReadTestInfo", (20,)),
                           ("ReadTestInfo", (3,)), ("ReadMSN", (0,)), ("ReadPSN16Bit", (0,)),
                           ("ReadIntSoftVersion", (0,)), ("ReadTestInfo_AT", (20,))]:
            result, written = _written_length(library, phone, name, *args)
            assert result == 0, name
            assert written <= library.catalogue.find(name).buffer_size, (name, written)
        # The longest serial number fills the documented buffer exactly.
        assert _written_length(library, phone, "ReadSN", 0)[1] == int(header_value("QRX_SN_BUFFER_SIZE"))
        assert _written_length(library, phone, "ReadTestInfo", 3)[1] == 2
    with qrx.Station(library, 7, "UFI_Station.xml", "UFI") as ufi:
        assert ufi.Init_TestDLL_SN() == 0
        for name in ("ReadMAC", "ReadSSID", "ReadTestInfo_UFI", "ReadIntSoftVersion_UFI"):
            result, written = _written_length(library, ufi, name)
            assert written <= library.catalogue.find(name).buffer_size, (name, written)


def test_structured_test_items_reach_the_handler(library):
    items = []
    library.set_test_item_handler(items.append)
    try:
        with qrx.Station(library, 8, "QRX_Station.xml", "QRX") as phone:
            assert phone.GSM_NST_MeasPower(1, 62, 5) == 0
    finally:
        library.set_test_item_handler(None)
    mine = [i for i in items if i.thread_index == 8]
    assert mine and mine[0].item.startswith("GSM_NST_MeasPower")
    assert mine[0].passed and mine[0].value_number is not None
