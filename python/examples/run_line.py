#!/usr/bin/env python3
"""A Python host running the simulated line on two stations at once: a phone station that
calibrates, programs its identity and downloads an image, and a UFI station whose WiFi test
asks the operator for the board barcode (answered here). Prints every step and a verdict per
station; exit status 1 when any step failed.

    PYTHONPATH=build/python python3 python/examples/run_line.py build/station
    PYTHONPATH=/usr/lib/python3/dist-packages QRX_STATION_DIR=... run_line.py STATION --library /usr/lib/libQRXInterface.so.1
"""
import argparse
import os
import sys
import threading

import qrx

PHONE = [
    ("Init_TestInterface",), ("Init_TestInstrument",), ("Init_TestComPort",),
    ("Enter_GSMTestMode",), ("GSM_AFC_Cal", 1), ("GSM_TxCal_900",), ("GSM_NST_MeasPower", 1, 62, 5),
    ("Write_CalData_GSM",), ("Exit_GSMMode",),
    ("Init_TestDLL_SN",), ("OpenPort", 1, 115200), ("WriteSN", "PYSIM{station}0001", 0),
    ("ReadSN", 0), ("WriteIMEI", "86753090000{station}34", 0), ("ReadIMEI", 0), ("ReadTestInfo", 20),
    ("ClosePort",), ("Check_SN",), ("Init_TestDll_DL",),
    ("StartDownloadImage", "Images/sim_image.bin", 0, "progress", "", 0, 0, ""),
]
UFI = [
    ("Init_TestInterface_Ufi",), ("Init_Instrument_Ufi", 9344), ("Init_NetPort_Ufi",),
    ("ReadBarcode_Ufi", 10), ("WiFi_EnterTestMode_Ufi",), ("WiFi_Config_Channel_Ufi", 6),
    ("WiFi_VSAConfig_Ufi", 1, 20), ("WiFi_TxPwrCal_Ufi",), ("WiFi_TxMeas_Result_Ufi",),
    ("WiFi_QuitTestMode_Ufi",), ("UnInit_NetPort_Ufi",), ("UnInit_TestInterface_Ufi",),
]

print_lock = threading.Lock()


def say(number, text):
    with print_lock:
        print(f"[S{number}] {text}", flush=True)


def run_station(library, number, product, config, steps, verdicts):
    failed = 0
    finished = threading.Event()
    outcome = {}

    def progress(event):
        if event.kind == 1 and event.percent % 25 == 0:
            say(number, f"download {event.percent}%")
        elif event.kind == 3:
            outcome["ok"] = event.succeeded
            finished.set()
        return 0

    try:
        with qrx.Station(library, index=number - 1, config=config, product=product) as station:
            station.RegisterObserver(lambda level, line: say(number, "  . " + line.strip()))
            for name, *args in steps:
                args = [progress if a == "progress" else
                        a.replace("{station}", str(number)) if isinstance(a, str) else a
                        for a in args]
                result = station.call(name, *args)
                code = result[0] if isinstance(result, tuple) else result
                shown = f" out={result[1]!r}" if isinstance(result, tuple) else ""
                shown_args = ", ".join("progress" if callable(a) else repr(a) for a in args)
                say(number, f"{'ok  ' if code == 0 else 'FAIL'} {name}({shown_args}) -> {code}{shown}")
                failed += code != 0
                if name == "StartDownloadImage" and code == 0:
                    if not finished.wait(60) or not outcome.get("ok"):
                        say(number, "FAIL download did not finish")
                        failed += 1
                    else:
                        say(number, "ok   download finished")
    except qrx.StationError as error:
        say(number, f"FAIL {error}")
        failed += 1
    verdicts[number] = failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("station", help="the deployment directory")
    parser.add_argument("--library", help="libQRXInterface.so to load (default: the station's)")
    options = parser.parse_args()

    library = qrx.Library.open(options.station, options.library)
    library.set_message_box_handler(lambda caption, text: say(0, f"MESSAGE {caption}: {text}"))

    def barcode(prompt):
        # The prompt runs on the asking station's thread, named after its index.
        number = int(threading.current_thread().name.rsplit("-", 1)[1]) + 1
        answer = f"BRD{number}000000"
        say(number, f"barcode prompt ({prompt.pattern}) answered {answer}")
        return answer

    library.set_serial_prompt_handler(barcode)
    print(f"libQRXInterface {library.version} from {library.path}")
    verdicts = {}
    drivers = [threading.Thread(target=run_station, args=(library, 1, "QRX", "QRX_Station.xml", PHONE, verdicts)),
               threading.Thread(target=run_station, args=(library, 2, "UFI", "UFI_Station.xml", UFI, verdicts))]
    for d in drivers:
        d.start()
    for d in drivers:
        d.join()
    library.set_serial_prompt_handler(None)
    library.set_message_box_handler(None)
    for number in sorted(verdicts):
        print(f"S{number}: {'PASS' if verdicts[number] == 0 else 'FAIL'} ({verdicts[number]} failed)")
    ok = all(v == 0 for v in verdicts.values()) and len(verdicts) == 2
    print("RESULT:", "PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
