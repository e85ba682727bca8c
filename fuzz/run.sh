#!/usr/bin/env bash
# Builds the XML document fuzzer with clang (ASan+UBSan) and runs it for a given time.
# Usage: fuzz/run.sh [seconds] [build-dir]   (default 60 s, build-fuzz)
# New inputs go to <build-dir>/corpus (the committed seeds in fuzz/corpus are read only);
# crashes are written to <build-dir>/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${2:-build-fuzz}
cxx=$(command -v clang++-14 || command -v clang++ || true)
cc=$(command -v clang-14 || command -v clang || true)
if [[ -z "$cxx" || -z "$cc" ]]; then
  echo "fuzz: clang not found, fuzzing skipped"
  exit 0
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" -DQRX_BUILD_FUZZERS=ON \
  -DQRX_SANITIZE=address -DQRX_BUILD_TESTS=OFF -DQRX_BUILD_BENCHMARKS=OFF -DQRX_BUILD_SIM=OFF >/dev/null
cmake --build "$dir" -j "${QRX_JOBS:-2}" --target fuzz_xml_document
mkdir -p "$dir/corpus" "$dir/artifacts"
# Leaks are checked by the ASan test suite; here they would only slow every input down.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  "$dir/fuzz/fuzz_xml_document" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
  "$dir/corpus" fuzz/corpus
