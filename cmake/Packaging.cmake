# Debian packages of the three install components, built with `cpack -G DEB` in the build
# directory (or `cmake --build build --target package`):
#   libqrxinterface1      the library, libQRXInterface.so.1 -> .so.1.0.0 (runtime)
#   libqrxinterface-dev   headers, the .so link, CMake package, pkg-config file, export reference
#   qrxinterface-tools    qrx-run, qrx-doctor, their manual pages, the simulated station
# Packages install under /usr; the CMake package and the pkg-config file are relocatable.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qrxinterface)
set(CPACK_PACKAGE_VENDOR "QRXInterface developers")
set(CPACK_PACKAGE_CONTACT "QRXInterface developers <qrxinterface@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Station interface library of a production test line")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libqrxinterface${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libpcre2-8-0 (>= 10.22)")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Station interface library of a production test line (runtime)\n The shared library libQRXInterface.so.${PROJECT_VERSION_MAJOR} that test hosts load: its 252 exports run\n calibration, final-test, identity-programming and image-download steps through test\n libraries and BI plug-ins loaded at run time.")

set(QRX_RUNTIME_EXACT "libqrxinterface${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libqrxinterface-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${QRX_RUNTIME_EXACT}")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Station interface library of a production test line (development files)\n Headers for hosts, test libraries, plug-ins and instrument libraries, the CMake package\n QRXInterface, the pkg-config file qrxinterface and the export reference.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME qrxinterface-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${QRX_RUNTIME_EXACT}, libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "Station interface library of a production test line (tools and simulated station)\n qrx-run runs sequence files on stations, qrx-doctor checks a deployment directory; a\n complete simulated station (test libraries, BI plug-ins, instrument libraries, a VISA)\n under /usr/share/qrxinterface/station runs the whole line without hardware.")

include(CPack)
