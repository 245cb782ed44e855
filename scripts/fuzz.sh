#!/usr/bin/env bash
# Builds the libFuzzer target (picture loading and conversion) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, and runs it for a bounded time over the seed corpus.
# Fails when the fuzzer finds a crash, a sanitizer report, a leak or an input that hangs.
#
#   scripts/fuzz.sh [SECONDS]      default 60 (or TVCPIX_FUZZ_SECONDS)
#
# New inputs that reach new code stay in build-fuzz/corpus for the next run; a failing input is
# written to build-fuzz/artifacts/ (turn it into a regression test in tests/picture_file_test.cc).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds="${1:-${TVCPIX_FUZZ_SECONDS:-60}}"
build="$TVCPIX_ROOT/build-fuzz"
seeds="$TVCPIX_ROOT/tests/fuzz/corpus"

bash "$TVCPIX_ROOT/scripts/setup.sh"
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a \
    >/dev/null 2>&1; then
  echo "tvcpix: installing clang and its fuzzer runtime"
  as_root=()
  [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update </dev/null
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends clang libclang-rt-dev </dev/null
fi

# Every library gets coverage instrumentation and the sanitizers; only the target links libFuzzer.
cmake -S "$TVCPIX_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTVCPIX_SANITIZE=ON -DTVCPIX_BUILD_TESTS=ON -DTVCPIX_BUILD_BENCH=OFF -DTVCPIX_FUZZ=ON >/dev/null
cmake --build "$build" -j "$TVCPIX_JOBS" --target fuzz_load_convert

tvcpix_sanitizer_env
mkdir -p "$build/corpus" "$build/artifacts"
echo "== Fuzzing picture loading and conversion for ${seconds} s"
status=0
"$build/tests/fuzz/fuzz_load_convert" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
  -max_len=65536 -dict="$TVCPIX_ROOT/tests/fuzz/picture.dict" \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1 \
  "$build/corpus" "$seeds" || status=$?
if [ "$status" -ne 0 ]; then
  echo "tvcpix: the fuzzer failed (exit $status); inputs in $build/artifacts/:" >&2
  ls -l "$build/artifacts/" >&2 || true
  exit 1
fi
