"""The package's catalogue against the library's header, and the checks of a call."""
import pytest

import qrx
from conftest import header_value


@pytest.fixture(scope="module")
def catalogue():
    return qrx.Catalogue.load()


def test_rows_carry_arguments_staging_and_buffer_sizes_of_the_library(catalogue):
    measure = catalogue.find("GSM_NST_MeasPower")
    assert measure.arguments == "iii"
    assert measure.argument_names == ("Band", "Channel", "PALevel")
    assert measure.staged == (("QCal", "Band", 1), ("QCal", "Channel", 2), ("QCal", "PALevel", 3))
    lte = catalogue.find("RegisterCard_LTECP")
    assert (lte.service, lte.library_function) == ("lte", "RegisterCard_ForWuLian")
    # Buffer sizes are the header's, never smaller.
    assert int(header_value("QRX_TEST_INFO_BUFFER_SIZE")) == 41
    for names, size in [(("ReadTestInfo",), "TEST_INFO"), (("ReadSN",), "SN"), (("ReadIMEI",), "IMEI"), (("ReadMAC",), "TEXT"),
                        (("Check_SN", "ReadBarcode_Ufi", "ReadMSN", "ReadTestInfo_AT"), "READBACK")]:
        assert {catalogue.find(n).buffer_size for n in names} == {int(header_value("QRX_%s_BUFFER_SIZE" % size))}, names
    takes_buffer = {e.name for e in catalogue if "b" in e.arguments}
    assert takes_buffer == {e.name for e in catalogue if e.buffer_size}


@pytest.mark.parametrize("name, args, message", [
    ("GSM_NST_MeasPower", (1, 2), "takes 3 argument(s) (int Band, int Channel, int PALevel), got 2"),
    ("GSM_NST_MeasPower", (1, 2.0, 3), "argument Channel of GSM_NST_MeasPower must be an int"),
    ("GSM_NST_MeasPower", (1, True, 3), "must be an int"),
    ("Check_TestInfo", (2**31,), "must fit 32 bits"),
    ("TxEVM_TDFT", ("1",), "must be a number"),
    ("TxEVM_TDFT", (1e99,), "out of range"),
    ("Mode_Select_TDFT", (5,), "must be a str or bytes"),
    ("Mode_Select_TDFT", ("T\0D",), "holds a zero byte"),
    ("ReadSN", ("buffer", 0), "takes 1 argument(s) (int extra), got 2"),
    ("StartDownloadImage", ("a", 0, 5, "", 0, 0, ""), "must be callable or None"),
])
def test_calls_that_do_not_fit_the_row_are_refused(catalogue, name, args, message):
    with pytest.raises(qrx.CatalogueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        catalogue.find(name).check(args)


def test_unknown_export_names_the_closest(catalogue):
    with pytest.raises(qrx.CatalogueError, match="did you mean GSM_NST_MeasPower"):
        catalogue.find("GSM_NST_MeasPowr")
    with pytest.raises(qrx.CatalogueError) as error:
        catalogue.find("Frobnicate")
    assert "did you mean" not in str(error.value)
