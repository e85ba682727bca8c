"""One copy of the simulated station per test session, and the library loaded from it (a
process holds one library: its handlers and the working directory are process-wide)."""
import os
import shutil

import pytest

import qrx


@pytest.fixture(scope="session")
def station_dir(tmp_path_factory):
    source = os.environ.get("QRX_TEST_STATION")
    if not source:
        pytest.fail("QRX_TEST_STATION names the simulated station of the build")
    target = tmp_path_factory.mktemp("qrx") / "station"
    shutil.copytree(source, target, symlinks=True)
    os.environ["QRX_SIM_STATE_DIR"] = str(target / "SimState")
    os.environ.setdefault("QRX_SIM_DOWNLOAD_MS", "100")
    return target


@pytest.fixture(scope="session")
def library(station_dir):
    lib = qrx.Library.open(str(station_dir))
    boxes = []
    lib.set_message_box_handler(lambda caption, text: boxes.append((caption, text)))
    lib.boxes = boxes
    yield lib
    lib.set_message_box_handler(None)
    lib.set_serial_prompt_handler(None)


def header_value(name):
    """The value of a #define of qrx/qrx_interface.h or qrx/version.h."""
    root = os.environ.get("QRX_SOURCE_DIR")
    for header in ("qrx_interface.h", "version.h"):
        with open(os.path.join(root, "include", "qrx", header), encoding="utf-8") as f:
            for line in f:
                parts = line.split()
                if len(parts) == 3 and parts[0] == "#define" and parts[1] == name:
                    return parts[2].strip('"')
    raise KeyError(name)
