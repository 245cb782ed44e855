#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz, and runs each for a bounded time over the seed corpus: fuzz_decode (the opening
# checks and every decoder, thousands of inputs a second) for two thirds of the time, then
# fuzz_convert (small pictures through the load and conversions) for the rest.
# Fails when a fuzzer finds a crash, a sanitizer report, a leak or an input that hangs.
#
#   scripts/fuzz.sh [SECONDS]      in all, default 60 (or TVCPIX_FUZZ_SECONDS)
#
# New inputs that reach new code stay in build-fuzz/corpus-<target> for the next run; a failing
# input is written to build-fuzz/artifacts/ (turn it into a regression test in
# tests/decode/picture_file_test.cc or tests/engine/model_test.cc).
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
cmake --build "$build" -j "$TVCPIX_JOBS" --target fuzz_decode fuzz_convert

tvcpix_sanitizer_env
mkdir -p "$build/artifacts"
decode_seconds=$(( seconds * 2 / 3 > 0 ? seconds * 2 / 3 : 1 ))
convert_seconds=$(( seconds - decode_seconds > 0 ? seconds - decode_seconds : 1 ))
status=0
run_target() {  # target, seconds, what
  mkdir -p "$build/corpus-$1"
  echo "== Fuzzing $3 for $2 s ($1)"
  "$build/tests/fuzz/$1" -max_total_time="$2" -timeout=30 -rss_limit_mb=4096 \
    -max_len=65536 -dict="$TVCPIX_ROOT/tests/fuzz/picture.dict" \
    -artifact_prefix="$build/artifacts/$1-" -print_final_stats=1 \
    "$build/corpus-$1" "$seeds" || status=$?
}
run_target fuzz_decode "$decode_seconds" "picture decoding"
[ "$status" -eq 0 ] && run_target fuzz_convert "$convert_seconds" "conversions of small pictures"
if [ "$status" -ne 0 ]; then
  echo "tvcpix: the fuzzer failed (exit $status); inputs in $build/artifacts/:" >&2
  ls -l "$build/artifacts/" >&2 || true
  exit 1
fi
