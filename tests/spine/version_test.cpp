// A host linked with the shared library learns the version it loaded, and that version is the
// one the headers describe and the one the library file is named and versioned by.
#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

#include <string>

TEST(VersionExport, LoadedLibraryReportsTheHeadersVersionAndItsSoname) {
  ASSERT_NE(QRX_GetVersion(), nullptr);
  EXPECT_STREQ(QRX_GetVersion(), QRX_VERSION_STRING);
  EXPECT_EQ(std::string(QRX_LIBRARY_SONAME), "libQRXInterface.so." + std::to_string(QRX_VERSION_MAJOR));
  EXPECT_EQ(std::string(QRX_LIBRARY_FILE), std::string("libQRXInterface.so.") + QRX_VERSION_STRING);
}
