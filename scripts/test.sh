#!/usr/bin/env bash
# Builds everything and runs every test twice: in a release build, and in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer where any report fails the run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$TVCPIX_ROOT/scripts/setup.sh"

echo "== Release build and tests"
cmake -S "$TVCPIX_ROOT" -B "$TVCPIX_RELEASE_BUILD" -DCMAKE_BUILD_TYPE=Release \
  -DTVCPIX_WERROR=ON -DTVCPIX_BUILD_TESTS=ON -DTVCPIX_BUILD_BENCH=ON
cmake --build "$TVCPIX_RELEASE_BUILD" -j "$TVCPIX_JOBS"
ctest --test-dir "$TVCPIX_RELEASE_BUILD" -j "$TVCPIX_JOBS" --output-on-failure --timeout 600

echo "== Sanitizer build and tests"
# The test programs run at build time too (test discovery), so the settings apply to both.
tvcpix_sanitizer_env
cmake -S "$TVCPIX_ROOT" -B "$TVCPIX_SANITIZE_BUILD" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DTVCPIX_SANITIZE=ON -DTVCPIX_WERROR=ON \
  -DTVCPIX_BUILD_TESTS=ON -DTVCPIX_BUILD_BENCH=OFF
cmake --build "$TVCPIX_SANITIZE_BUILD" -j "$TVCPIX_JOBS"
ctest --test-dir "$TVCPIX_SANITIZE_BUILD" -j "$TVCPIX_JOBS" --output-on-failure --timeout 1200
