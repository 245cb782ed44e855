#!/usr/bin/env bash
# Builds and runs the conversion benchmarks; extra arguments go to Google Benchmark
# (for example --benchmark_filter=Graphics16).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$TVCPIX_ROOT/scripts/setup.sh"
cmake -S "$TVCPIX_ROOT" -B "$TVCPIX_RELEASE_BUILD" -DCMAKE_BUILD_TYPE=Release \
  -DTVCPIX_BUILD_BENCH=ON >/dev/null
cmake --build "$TVCPIX_RELEASE_BUILD" -j "$TVCPIX_JOBS" --target convert_bench
"$TVCPIX_RELEASE_BUILD/bench/convert_bench" "$@"
