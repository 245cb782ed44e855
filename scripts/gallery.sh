#!/usr/bin/env bash
# Regenerates the README gallery: builds tvcpix-cli and converts one bundled sample in each mode
# with a few methods into docs/gallery/*.png (the result view, through the tool's --png).
#
#   bash scripts/gallery.sh            # build in build/release, then convert
#   TVCPIX_GALLERY_BUILD=build-x bash scripts/gallery.sh   # use another (configured) build
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build="${TVCPIX_GALLERY_BUILD:-$TVCPIX_RELEASE_BUILD}"
case "$build" in /*) ;; *) build="$TVCPIX_ROOT/$build" ;; esac
if [ -f "$build/CMakeCache.txt" ]; then
  # An existing build keeps its own build type; the conversions are the same in every one.
  cmake -S "$TVCPIX_ROOT" -B "$build" >/dev/null
else
  bash "$TVCPIX_ROOT/scripts/setup.sh"
  cmake -S "$TVCPIX_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j "$TVCPIX_JOBS" --target tvcpix-cli
cli="$build/cli/tvcpix-cli"

sample="$TVCPIX_ROOT/samples/astronaut_512x480.bmp"
gallery="$TVCPIX_ROOT/docs/gallery"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$gallery"
rm -f "$gallery"/*.png

# name, then the tool's options: mode, method and palette.
conversions=(
  "g16-pattern-tvc   -m 16 -d patterntvc"
  "g16-floyd         -m 16 -d floyd"
  "g16-bayer4x4      -m 16 -d bayer4x4"
  "g16-treshold      -m 16 -d treshold"
  "g4-pattern-tvc    -m 4 -d patterntvc"
  "g4-jarvis         -m 4 -d jarvis"
  "g4-bayer8x8       -m 4 -d bayer8x8"
  "g2-atkinson       -m 2 -d atkinson"
  "g2-floyd          -m 2 -d floyd"
  "g2-news4x4        -m 2 -d news4x4"
  "g16-perceptual    -m 16 -d perceptual"
  "g16-best          -m 16 -d best"
  "g4-perceptual-auto -m 4 -d perceptual --palette4 auto"
  "g2-perceptual-auto -m 2 -d perceptual --palette2 auto"
)
for line in "${conversions[@]}"; do
  read -r name options <<<"$line"
  # shellcheck disable=SC2086  # the options are words on purpose
  "$cli" -q $options -o "$scratch/$name" --png "$gallery/$name.png" "$sample"
done

echo "Gallery of $(basename "$sample") in $gallery:"
ls -l "$gallery"
