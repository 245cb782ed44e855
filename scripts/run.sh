#!/usr/bin/env bash
# The main job: builds tvcpix and starts it in the bundled sample folder; without a display,
# converts a sample picture with tvcpix-cli instead.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$TVCPIX_ROOT/scripts/setup.sh"

build="$TVCPIX_RELEASE_BUILD"
cmake -S "$TVCPIX_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(tvcpix-cli)
if tvcpix_has_target "$build" tvcpix; then
  targets+=(tvcpix)
fi
cmake --build "$build" -j "$TVCPIX_JOBS" --target "${targets[@]}"

gui="$build/ui/tvcpix"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if [ -x "$gui" ]; then
    echo "Starting tvcpix in $TVCPIX_ROOT/samples"
    cd "$TVCPIX_ROOT/samples"
    exec "$gui"
  fi
  echo "The tvcpix window is not built yet: running a tvcpix-cli demo conversion instead"
else
  echo "No display found: running a tvcpix-cli demo conversion instead"
fi

cli="$build/cli/tvcpix-cli"
sample="$TVCPIX_ROOT/samples/astronaut_512x480.bmp"
out="$TVCPIX_ROOT/out/demo"
mkdir -p "$out"
echo "Converting $sample into $out:"
"$cli" -o "$out/astronaut_g16_pattern" --cas "$out/astronaut_g16_pattern.cas" "$sample"
"$cli" -o "$out/astronaut_g4_floyd" --mode 4 --dither floyd "$sample"
"$cli" -o "$out/astronaut_g2_atkinson" --mode 2 --dither atkinson --gamma 60 "$sample"
"$cli" -o "$out/astronaut_g4_perceptual" --mode 4 --dither perceptual --palette4 auto "$sample"
echo "Written:"
ls -l "$out"
