# The libraries of the results store, the live page and the message bus for a Windows build,
# compiled for the target from Debian's source packages (Debian ships no MinGW-w64 build of
# them): SQLite, libpq and Qpid Proton. scripts/debian-sources.sh unpacks the packages; each
# folder is given here. The targets carry the names the Linux build gets from pkg-config, so
# tools/store and tools/web link the same way on both systems. Each library is built once per
# build tree; later builds find it there.
set(QRX_SQLITE_SOURCE_DIR "" CACHE PATH "Source tree of Debian's sqlite3 package")
set(QRX_POSTGRESQL_SOURCE_DIR "" CACHE PATH "Source tree of Debian's postgresql-15 package")
set(QRX_PROTON_SOURCE_DIR "" CACHE PATH "Source tree of Debian's qpid-proton package")
set(QRX_DEPENDENCY_JOBS 2 CACHE STRING "Parallel jobs of the dependency builds")
set(_qrx_deps ${CMAKE_BINARY_DIR}/deps)

# SQLite: the one-file amalgamation, made from the source tree with the build machine's
# compiler and tclsh (no configure run), compiled for the target.
if(QRX_SQLITE_SOURCE_DIR AND EXISTS ${QRX_SQLITE_SOURCE_DIR}/main.mk)
  set(_sqlite ${_qrx_deps}/sqlite3)
  file(MAKE_DIRECTORY ${_sqlite}/work ${_sqlite}/include)
  add_custom_command(OUTPUT ${_sqlite}/sqlite3.c ${_sqlite}/include/sqlite3.h
    COMMAND make -s -f ${QRX_SQLITE_SOURCE_DIR}/main.mk TOP=${QRX_SQLITE_SOURCE_DIR} BCC=cc TCC=cc
            NAWK=awk EXE= sqlite3.c sqlite3.h >/dev/null
    COMMAND ${CMAKE_COMMAND} -E copy sqlite3.c ${_sqlite}/sqlite3.c
    COMMAND ${CMAKE_COMMAND} -E copy sqlite3.h ${_sqlite}/include/sqlite3.h
    WORKING_DIRECTORY ${_sqlite}/work
    COMMENT "SQLite amalgamation from ${QRX_SQLITE_SOURCE_DIR}")
  add_library(qrx_sqlite3 STATIC ${_sqlite}/sqlite3.c)
  target_include_directories(qrx_sqlite3 SYSTEM PUBLIC ${_sqlite}/include)
  # Debian's own build options that the store relies on; no extension loading on a station.
  target_compile_definitions(qrx_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_ENABLE_COLUMN_METADATA
                             SQLITE_OMIT_LOAD_EXTENSION SQLITE_DEFAULT_FOREIGN_KEYS=0)
  target_compile_options(qrx_sqlite3 PRIVATE -w)
  add_library(PkgConfig::SQLITE3 ALIAS qrx_sqlite3)
endif()

# libpq: PostgreSQL's client library only, configured for the target and bundled into one
# static object by scripts/build-libpq-mingw.sh.
if(QRX_POSTGRESQL_SOURCE_DIR AND EXISTS ${QRX_POSTGRESQL_SOURCE_DIR}/src/interfaces/libpq)
  set(_pq ${_qrx_deps}/libpq)
  file(MAKE_DIRECTORY ${_pq}/include)
  add_custom_command(OUTPUT ${_pq}/lib/libpq.a
    COMMAND ${CMAKE_COMMAND} -E env QRX_JOBS=${QRX_DEPENDENCY_JOBS}
            ${PROJECT_SOURCE_DIR}/scripts/build-libpq-mingw.sh ${QRX_POSTGRESQL_SOURCE_DIR}
            ${_pq}/build ${QRX_MINGW_TRIPLE} ${CMAKE_C_COMPILER} ${_pq}
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/build-libpq-mingw.sh
    COMMENT "libpq for ${QRX_MINGW_TRIPLE} from ${QRX_POSTGRESQL_SOURCE_DIR}"
    USES_TERMINAL)
  add_custom_target(qrx_libpq_build DEPENDS ${_pq}/lib/libpq.a)
  add_library(PkgConfig::LIBPQ STATIC IMPORTED GLOBAL)
  set_target_properties(PkgConfig::LIBPQ PROPERTIES IMPORTED_LOCATION ${_pq}/lib/libpq.a
    INTERFACE_INCLUDE_DIRECTORIES ${_pq}/include
    INTERFACE_LINK_LIBRARIES "secur32;shell32;advapi32;ws2_32")
  add_dependencies(PkgConfig::LIBPQ qrx_libpq_build)
endif()

# Qpid Proton: the C core, the IOCP proactor and the C++ binding, static, without SSL and
# Cyrus SASL (its own SASL layer speaks ANONYMOUS and PLAIN). Two spots of its Windows code
# need help with MinGW-w64: an include written as Ws2tcpip.h (the target's headers are lower
# case) and a helper declared extern and defined static (accepted with -fpermissive).
set(QRX_HAVE_PROTON OFF)
if(QRX_PROTON_SOURCE_DIR AND EXISTS ${QRX_PROTON_SOURCE_DIR}/c/src/proactor/win_iocp.cpp)
  include(ExternalProject)
  string(REGEX REPLACE "-.*" "" _arch ${QRX_MINGW_TRIPLE})
  set(_proton ${_qrx_deps}/proton)
  file(MAKE_DIRECTORY ${_proton}/compat ${_proton}/build/c/include)
  file(WRITE ${_proton}/compat/Ws2tcpip.h "#include <ws2tcpip.h>\n")
  set(_proton_libs ${_proton}/build/cpp/libqpid-proton-cpp-static.a
      ${_proton}/build/c/libqpid-proton-proactor-static.a ${_proton}/build/c/libqpid-proton-core-static.a)
  ExternalProject_Add(qrx_proton_build
    SOURCE_DIR ${QRX_PROTON_SOURCE_DIR}
    BINARY_DIR ${_proton}/build
    PREFIX ${_proton}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS --toolchain ${PROJECT_SOURCE_DIR}/cmake/mingw-w64-${_arch}.cmake -DCMAKE_BUILD_TYPE=Release
      -DBUILD_STATIC_LIBS=ON -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_BINDINGS=cpp
      -DSSL_IMPL=none -DSASL_IMPL=none -DPROACTOR=iocp -DENABLE_WARNING_ERROR=OFF
      -DENABLE_UNDEFINED_ERROR=OFF -DENABLE_LINKTIME_OPTIMIZATION=OFF -DENABLE_FUZZ_TESTING=OFF
      -DENABLE_BENCHMARKS=OFF -DPython_EXECUTABLE=/usr/bin/python3
      "-DCMAKE_C_FLAGS=-I${_proton}/compat -w" "-DCMAKE_CXX_FLAGS=-I${_proton}/compat -fpermissive -w"
    BUILD_COMMAND ${CMAKE_COMMAND} --build . -j ${QRX_DEPENDENCY_JOBS} --target
      qpid-proton-core-static qpid-proton-proactor-static qpid-proton-cpp-static
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${_proton_libs}
    USES_TERMINAL_CONFIGURE ON USES_TERMINAL_BUILD ON)
  add_library(qrx_proton_cpp INTERFACE)
  target_link_libraries(qrx_proton_cpp INTERFACE ${_proton_libs} ws2_32 rpcrt4)
  target_include_directories(qrx_proton_cpp SYSTEM INTERFACE ${QRX_PROTON_SOURCE_DIR}/c/include
    ${QRX_PROTON_SOURCE_DIR}/cpp/include ${_proton}/build/c/include)
  target_compile_definitions(qrx_proton_cpp INTERFACE PROTON_DECLARE_STATIC PN_CPP_DECLARE_STATIC)
  add_dependencies(qrx_proton_cpp qrx_proton_build)
  set(QRX_HAVE_PROTON ON)
  set(QRX_PROTON_TARGET qrx_proton_cpp)
endif()
# What a consumer reads: the CMake variable, and QRX_HAVE_PROTON=0/1 in the code.
add_compile_definitions(QRX_HAVE_PROTON=$<BOOL:${QRX_HAVE_PROTON}>)
message(STATUS "Windows libraries: SQLite ${QRX_SQLITE_SOURCE_DIR}, libpq ${QRX_POSTGRESQL_SOURCE_DIR}, "
               "Qpid Proton ${QRX_HAVE_PROTON}, cpp-httplib ${QRX_HTTPLIB_SOURCE_DIR}")

# cpp-httplib: the one header of Debian's cpp-httplib source package, definitions included
# (Debian's binary package splits it into declarations and a shared library for Linux).
set(QRX_HTTPLIB_SOURCE_DIR "" CACHE PATH "Source tree of Debian's cpp-httplib package")
if(QRX_HTTPLIB_SOURCE_DIR AND EXISTS ${QRX_HTTPLIB_SOURCE_DIR}/httplib.h)
  add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED GLOBAL)
  set_target_properties(PkgConfig::HTTPLIB PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${QRX_HTTPLIB_SOURCE_DIR}
    INTERFACE_LINK_LIBRARIES "ws2_32;crypt32")
endif()
