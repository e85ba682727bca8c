#!/usr/bin/env bash
# The size of the test suite against the product, and with --coverage BUILD_DIR the line and
# branch coverage of src/ and tools/ that the suite reaches:
#   scripts/test-figures.sh [--coverage BUILD_DIR]
# Test code: tests/ and python/tests/. Product code: src/, tools/, sim/, include/ and python/
# (its tests left out); the generated code-page tables count on neither side.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { # folders... [find tests...]: lines of C, C++, Python and shell sources
  find "$@" -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \
    -o -name '*.inc' -o -name '*.py' -o -name '*.sh' \) -print0 | xargs -0 cat | wc -l
}
tests=$(count tests python/tests)
product=$(count src tools sim include python -not -path 'python/tests/*' -not -name 'code_page_tables.*')
echo "test lines:    $tests"
echo "product lines: $product"
awk -v t="$tests" -v p="$product" 'BEGIN { printf "ratio:         %.2f\n", t / p }'

[ "${1:-}" = "--coverage" ] || exit 0
build=${2:?usage: scripts/test-figures.sh --coverage BUILD_DIR}
# Atomic counters: the stations, the collector and the stress tests run many threads through the
# same code, and plain counters lose increments there, so gcov derives negative counts for lines
# that ran thousands of times and gcovr reports them as never run.
flags="--coverage -fprofile-update=atomic"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_CXX_FLAGS="$flags" -DQRX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "${QRX_JOBS:-2}"
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j "${QRX_JOBS:-2}" --output-on-failure >"$build/coverage-ctest.log" 2>&1 ||
  echo "some tests failed: see $build/coverage-ctest.log"
tail -n 3 "$build/coverage-ctest.log"
# Only the build tree is searched, and not the Wine prefix in it (its drive z: links to /).
gcovr -r . --object-directory "$build" --filter 'src/' --filter 'tools/' \
  --exclude 'src/platform/posix/code_page_tables.cpp' --exclude-directories '.*wine-?prefix.*' \
  --gcov-ignore-parse-errors -j "${QRX_JOBS:-2}" --print-summary \
  -o "$build/coverage.txt" "$build" | sed -n 's/^\(lines\|branches\):/coverage \1:/p'
