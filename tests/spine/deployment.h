// A station folder with the five test libraries and the four BI plug-ins that the test process
// works in, so libraries are reached through the real relative paths.
#pragma once

#include "../support/station_folder.h"

namespace qrx::test {

class Deployment : public StationFolder {
public:
  explicit Deployment(bool withLte = true) : StationFolder("spine") {
    DeployPlugins(QRX_TEST_PLUGIN);
    DeployTestLibraries(QRX_TEST_LIBRARY, withLte);
  }
};

} // namespace qrx::test
