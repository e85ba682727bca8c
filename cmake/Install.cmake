# Installs the library, its public headers, a CMake package config and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS QRXInterface EXPORT QRXInterfaceTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/qrx DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT QRXInterfaceTargets
  NAMESPACE QRXInterface::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QRXInterface)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QRXInterfaceConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QRXInterfaceConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QRXInterface)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QRXInterfaceConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QRXInterfaceConfig.cmake
  ${PROJECT_BINARY_DIR}/QRXInterfaceConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QRXInterface)

# The pkg-config file finds the prefix from its own place (${pcfiledir}), so an installation
# moved to another prefix (cmake --install --prefix, a package unpacked elsewhere) still works.
file(RELATIVE_PATH QRX_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" QRX_PC_PREFIX_FROM_PCDIR "${QRX_PC_PREFIX_FROM_PCDIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/qrxinterface.pc.in
  ${PROJECT_BINARY_DIR}/qrxinterface.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qrxinterface.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
