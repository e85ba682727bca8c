"""Python hosts of libQRXInterface.so, in pure ctypes.

    import qrx
    lib = qrx.Library.open("build/station")          # the deployment directory
    with qrx.Station(lib, index=0, config="QRX_Station.xml", product="QRX") as station:
        station.GSM_NST_MeasPower(1, 62, 5)          # -> 0
        code, serial = station.Check_SN()            # buffers come back as results

Every export is callable by name on a Station; its arguments are checked against the export
catalogue generated from the library's own table when the package was built.
"""
from .catalogue import Catalogue, CatalogueError, Export
from .library import Library, DownloadEvent, SerialPrompt
from .station import Station, StationError
from .test_items import TestItem

__all__ = [
    "Catalogue", "CatalogueError", "Export", "Library", "DownloadEvent", "SerialPrompt",
    "Station", "StationError", "TestItem",
]
