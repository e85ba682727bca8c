# Installs the library, its public headers, a CMake package config and a pkg-config file, and
# (with the simulated station) the host tools, their manual pages and the simulated station.
# Three components, one Debian package each (cmake/Packaging.cmake): runtime (the library),
# dev (what building against it needs) and tools.
include(CMakePackageConfigHelpers)

install(TARGETS QRXInterface EXPORT QRXInterfaceTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/qrx DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT dev)
install(EXPORT QRXInterfaceTargets
  NAMESPACE QRXInterface::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QRXInterface
  COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QRXInterfaceConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QRXInterfaceConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QRXInterface)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QRXInterfaceConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QRXInterfaceConfig.cmake
  ${PROJECT_BINARY_DIR}/QRXInterfaceConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QRXInterface
  COMPONENT dev)

# The pkg-config file finds the prefix from its own place (${pcfiledir}), so an installation
# moved to another prefix (cmake --install --prefix, a package unpacked elsewhere) still works.
file(RELATIVE_PATH QRX_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" QRX_PC_PREFIX_FROM_PCDIR "${QRX_PC_PREFIX_FROM_PCDIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/qrxinterface.pc.in
  ${PROJECT_BINARY_DIR}/qrxinterface.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qrxinterface.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/docs/export-reference.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT dev)

if(TARGET qrx-run AND TARGET sim_station)
  install(TARGETS qrx-run qrx-doctor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  install(FILES ${QRX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

  # The simulated station, laid out as its build directory is, under share/qrxinterface.
  set(QRX_SHARE_STATION ${CMAKE_INSTALL_DATADIR}/qrxinterface/station)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/station/ DESTINATION ${QRX_SHARE_STATION}
    COMPONENT tools)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/qrxinterface/examples
    COMPONENT tools FILES_MATCHING PATTERN "*.seq")
  foreach(target ${QRX_SIM_TARGETS})
    get_target_property(folder ${target} LIBRARY_OUTPUT_DIRECTORY)
    file(RELATIVE_PATH folder ${QRX_STATION_DIR} ${folder})
    install(TARGETS ${target} LIBRARY DESTINATION ${QRX_SHARE_STATION}/${folder} COMPONENT tools)
  endforeach()
  # The station's libQRXInterface.so is the installed library itself, by a relative link: the
  # library then finds BusinessCfg through QRX_STATION_DIR (it resolves its own path).
  file(RELATIVE_PATH QRX_STATION_TO_LIBRARY /prefix/${QRX_SHARE_STATION}
    /prefix/${CMAKE_INSTALL_LIBDIR}/libQRXInterface.so.${PROJECT_VERSION_MAJOR})
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/package-station)
  file(CREATE_LINK ${QRX_STATION_TO_LIBRARY} ${PROJECT_BINARY_DIR}/package-station/libQRXInterface.so
    SYMBOLIC)
  install(FILES ${PROJECT_BINARY_DIR}/package-station/libQRXInterface.so
    DESTINATION ${QRX_SHARE_STATION} COMPONENT tools)
endif()
