#!/usr/bin/env bash
# Side-by-side timing of tvcpix-cli against the general tools that would otherwise be scripted
# (ImageMagick, GraphicsMagick, netpbm, djpeg), with hyperfine, and of the engine targets with
# the Google Benchmark suite. Prints one table of medians and ratios.
#
#   bench/compare.sh            everything (about 10 minutes on 2 cores)
#   bench/compare.sh --quick    fewer runs, for a first look
#   bench/compare.sh --no-engine  only the whole-process comparisons
#
# Environment: TVCPIX_BENCH_BUILD (build folder, default build/bench), TVCPIX_BENCH_DATA (test
# pictures and outputs, default <build>/compare), TVCPIX_JOBS (build jobs, default 2).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TVCPIX_BENCH_BUILD:-$ROOT/build/bench}"
DATA="${TVCPIX_BENCH_DATA:-$BUILD/compare}"
JOBS="${TVCPIX_JOBS:-2}"
RUNS=10
BATCH_RUNS=3
ENGINE=1
for arg in "$@"; do
  case "$arg" in
    --quick) RUNS=3; BATCH_RUNS=1 ;;
    --no-engine) ENGINE=0 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "compare.sh: unknown argument $arg" >&2; exit 2 ;;
  esac
done

# ---- Peer tools from Debian, only those missing.
need=()
command -v convert-im6.q16 >/dev/null || need+=(imagemagick)
command -v gm >/dev/null || need+=(graphicsmagick)
command -v pnmremap >/dev/null || need+=(netpbm)
command -v djpeg >/dev/null || need+=(libjpeg-turbo-progs)
command -v hyperfine >/dev/null || need+=(hyperfine)
command -v python3 >/dev/null || need+=(python3)
if [ "${#need[@]}" -gt 0 ]; then
  echo "compare.sh: installing ${need[*]}"
  as_root=()
  [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update </dev/null >/dev/null
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${need[@]}" </dev/null >/dev/null
fi
# ImageMagick 6's own binary: a "convert" earlier in PATH may be a wrapper or GraphicsMagick's.
IM=$(command -v convert-im6.q16)

# ---- tvcpix-cli and the benchmark suite, Release.
bash "$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTVCPIX_BUILD_BENCH=ON \
  -DTVCPIX_BUILD_TESTS=OFF >/dev/null
targets=(tvcpix-cli)
[ "$ENGINE" -eq 1 ] && targets+=(convert_bench)
cmake --build "$BUILD" -j "$JOBS" --target "${targets[@]}" >/dev/null
CLI="$BUILD/cli/tvcpix-cli"

# ---- Test pictures: the 512 x 480 sample BMP, and a bundled photo scaled up to 2 and 20
# megapixels (JPEG quality 92); 20 different 2-megapixel pictures for the batch.
mkdir -p "$DATA/in" "$DATA/out"
IN="$DATA/in"
OUT="$DATA/out"
cp "$ROOT/samples/astronaut_512x480.bmp" "$IN/work.bmp"
[ -f "$IN/photo2mp.jpg" ] ||
  "$IM" "$ROOT/samples/coffee_600x400.jpg" -resize '1728x1152!' -quality 92 "$IN/photo2mp.jpg"
[ -f "$IN/photo20mp.jpg" ] ||
  "$IM" "$ROOT/samples/coffee_600x400.jpg" -resize '5472x3648!' -quality 92 "$IN/photo20mp.jpg"
mkdir -p "$IN/batch"
samples=(coffee_600x400.jpg parrot_495x498.jpg chelsea_451x300.bmp astronaut_512x480.bmp
  milla_211x242.bmp)
for i in $(seq 1 20); do
  f="$IN/batch/pic$(printf %02d "$i").jpg"
  [ -f "$f" ] && continue
  s=${samples[$(( (i - 1) % ${#samples[@]} ))]}
  flip=()
  [ "$i" -gt 10 ] && flip=(-flop)
  "$IM" "$ROOT/samples/$s" "${flip[@]}" -modulate $((90 + i)) -resize '1728x1152!' -quality 92 "$f"
done
# The 16 TVC colours (levels 0, 145, 255) as the peers' map: PNG for the Magicks, PPM for netpbm.
if [ ! -f "$IN/pal16.ppm" ]; then
  {
    echo "P3 16 1 255"
    for i in $(seq 0 15); do
      level=145; [ $((i & 8)) -ne 0 ] && level=255
      r=0; g=0; b=0
      [ $((i & 2)) -ne 0 ] && r=$level
      [ $((i & 4)) -ne 0 ] && g=$level
      [ $((i & 1)) -ne 0 ] && b=$level
      echo "$r $g $b"
    done
  } >"$IN/pal16.ppm"
  "$IM" "$IN/pal16.ppm" "$IN/pal16.png"
fi

# ---- Whole-process runs, one hyperfine run per picture so each ratio is measured in one go.
# Every tool scales to the 128 x 240 "Graphics 16" preview and dithers to the 16 colours;
# tvcpix-cli writes its .bmp, .bin and .tim, the peers one PNG.
results="$DATA/results"
mkdir -p "$results"
hf() {  # name, then "label=command" pairs
  local name=$1
  shift
  local args=()
  for pair in "$@"; do args+=(-n "${pair%%=*}" "${pair#*=}"); done
  hyperfine -N --warmup 2 --runs "$RUNS" --export-json "$results/$name.json" "${args[@]}" \
    >"$results/$name.txt" 2>&1 || {
    cat "$results/$name.txt" >&2
    exit 1
  }
}

peer_set() {  # picture, decoder command for netpbm
  local pic=$1 topnm=$2
  echo "imagemagick=$IM $pic -resize 128x240! -dither FloydSteinberg -remap $IN/pal16.png $OUT/im.png"
  echo "graphicsmagick=gm convert $pic -resize 128x240! -map $IN/pal16.png $OUT/gm.png"
  echo "netpbm=sh -c '$topnm $pic | pamscale -width 128 -height 240 | pnmremap -fs -mapfile=$IN/pal16.ppm | pnmtopng > $OUT/netpbm.png'"
}

echo "compare.sh: timing the 512 x 480 BMP ($RUNS runs each)"
mapfile -t peers < <(peer_set "$IN/work.bmp" "bmptopnm -quiet")
hf bmp \
  "tvcpix-floyd=$CLI -q -j 1 -m 16 -d floyd -o $OUT/bmp_floyd $IN/work.bmp" \
  "tvcpix-bayer4x4=$CLI -q -j 1 -m 16 -d bayer4x4 -o $OUT/bmp_bayer $IN/work.bmp" \
  "${peers[@]}"

for mp in 2 20; do
  pic="$IN/photo${mp}mp.jpg"
  echo "compare.sh: timing the ${mp}-megapixel JPEG ($RUNS runs each)"
  mapfile -t peers < <(peer_set "$pic" "jpegtopnm -quiet")
  hf "jpeg$mp" \
    "djpeg=djpeg -outfile /dev/null $pic" \
    "tvcpix-floyd=$CLI -q -j 1 -m 16 -d floyd -o $OUT/jpeg${mp}_floyd $pic" \
    "tvcpix-bayer4x4=$CLI -q -j 1 -m 16 -d bayer4x4 -o $OUT/jpeg${mp}_bayer $pic" \
    "${peers[@]}"
done

# ---- Batch: 20 pictures in one run against gm batch (one process, its own loop) doing the
# same per picture. tvcpix-cli uses both cores by default.
echo "compare.sh: timing the batch of 20 ($BATCH_RUNS runs each)"
: >"$DATA/gm_batch.txt"
for f in "$IN"/batch/*.jpg; do
  echo "convert $f -resize 128x240! -map $IN/pal16.png $OUT/batch_gm_$(basename "$f" .jpg).png" \
    >>"$DATA/gm_batch.txt"
done
RUNS_SAVED=$RUNS
RUNS=$BATCH_RUNS
hf batch \
  "tvcpix-batch=$CLI -q -m 16 -d floyd -O $OUT/batch $(echo "$IN"/batch/*.jpg)" \
  "gm-batch=gm batch -stop-on-error on $DATA/gm_batch.txt"
RUNS=$RUNS_SAVED
# The batch must write exactly what converting each picture alone writes.
batch_same=yes
for f in "$IN"/batch/*.jpg; do
  base=$(basename "$f" .jpg)
  "$CLI" -q -j 1 -m 16 -d floyd -o "$OUT/alone_$base" "$f"
  for ext in bmp bin tim; do
    cmp -s "$OUT/alone_$base.$ext" "$OUT/batch/$base.$ext" || batch_same="NO ($base.$ext)"
  done
done

# ---- Peak memory of a whole tvcpix-cli run on the 20-megapixel JPEG (maximum resident set).
peak_kb=$(/usr/bin/time -f %M "$CLI" -q -j 1 -m 16 -d floyd -o "$OUT/mem" "$IN/photo20mp.jpg" \
  2>&1 >/dev/null | tail -1)
w=5472
h=3648

# ---- Engine targets from the Google Benchmark suite (CPU time is not what a user waits for:
# real time, median of repetitions).
if [ "$ENGINE" -eq 1 ]; then
  echo "compare.sh: engine benchmarks (Convert, 20-megapixel slider moves and opening)"
  reps=5
  [ "$RUNS" -lt 10 ] && reps=3
  "$BUILD/bench/convert_bench" --benchmark_filter='^(Convert/|MoveSlider20Mp/|Open20Mp/)' \
    --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.2 --benchmark_out="$results/engine.json" --benchmark_out_format=json \
    >/dev/null 2>"$results/engine.err"
fi

python3 - "$results" "$batch_same" "$peak_kb" "$w" "$h" "$ENGINE" <<'PY'
import json, os, sys

results, batch_same, peak_kb, w, h, engine = sys.argv[1:7]

def medians(name):
    with open(os.path.join(results, name + ".json")) as f:
        return {r["command"]: r["median"] * 1000 for r in json.load(f)["results"]}

rows = []  # (what, ms, baseline, baseline ms, ratio, target, met)
def row(what, ms, base_name, base_ms, limit):
    ratio = ms / base_ms
    rows.append((what, ms, base_name, base_ms, ratio, limit, ratio <= limit))

bmp = medians("bmp")
fastest_peer = min(("imagemagick", "graphicsmagick", "netpbm"), key=lambda p: bmp[p])
for method in ("floyd", "bayer4x4"):
    # "at least 3x faster": tvcpix time at most 1/3 of the fastest peer's
    row(f"512x480 BMP, G16 {method}", bmp["tvcpix-" + method], fastest_peer, bmp[fastest_peer],
        1 / 3)
for mp in (2, 20):
    j = medians(f"jpeg{mp}")
    for method in ("floyd", "bayer4x4"):
        row(f"{mp} MP JPEG, G16 {method}", j["tvcpix-" + method], "djpeg", j["djpeg"], 1.3)
    peer = min(("imagemagick", "graphicsmagick", "netpbm"), key=lambda p: j[p])
    rows.append((f"{mp} MP JPEG, fastest peer", j[peer], peer, j["djpeg"], j[peer] / j["djpeg"],
                 None, None))
b = medians("batch")
row("batch of 20 x 2 MP, per picture", b["tvcpix-batch"] / 20, "gm batch", b["gm-batch"] / 20, 0.40)

if engine == "1":
    with open(os.path.join(results, "engine.json")) as f:
        bench = {r["run_name"]: r["real_time"] for r in json.load(f)["benchmarks"]
                 if r.get("aggregate_name") == "median"}
    for mode, limit in (("Graphics16", 2.0), ("Graphics2", 4.0), ("Graphics4", None)):
        conv = {k: v for k, v in bench.items() if k.startswith(f"Convert/{mode}/")}
        if conv:
            worst = max(conv, key=conv.get)
            rows.append((f"Convert {mode}, slowest: {worst.split('/')[-1]}", conv[worst], "-",
                         None, None, limit, None if limit is None else conv[worst] <= limit))
    slider = {k: v for k, v in bench.items() if k.startswith("MoveSlider20Mp/")}
    if slider:
        worst = max(slider, key=slider.get)
        rows.append((f"slider move, 20 MP loaded, slowest: {worst.split('/', 1)[1]}",
                     slider[worst], "-", None, None, 16.0, slider[worst] <= 16.0))
    if "Open20Mp/Load" in bench:
        row("open 20 MP JPEG (decode..conversions)", bench["Open20Mp/Load"], "Qt decode",
            bench["Open20Mp/QtDecode"], 1.5)

size_mb = int(w) * int(h) * 3 / 1e6
peak_mb = int(peak_kb) * 1024 / 1e6
rows.append(("peak memory, 20 MP JPEG (MB)", peak_mb, "24-bit size", size_mb, peak_mb / size_mb,
             2.5, peak_mb / size_mb <= 2.5))

print()
print(f"{'':44} {'tvcpix':>9} {'baseline':>16} {'ms':>9} {'ratio':>7} {'target':>8}  met")
for what, ms, base, base_ms, ratio, limit, met in rows:
    base_txt = f"{base_ms:9.1f}" if base_ms is not None else f"{'':9}"
    ratio_txt = f"{ratio:7.2f}" if ratio is not None else f"{'':7}"
    if limit is None:
        limit_txt, met_txt = "", ""
    else:
        limit_txt = f"<= {limit:.2f}" if ratio is not None else f"<= {limit:.0f} ms"
        met_txt = "yes" if met else "NO"
    print(f"{what:44} {ms:9.1f} {base:>16} {base_txt} {ratio_txt} {limit_txt:>8}  {met_txt}")
print(f"\nbatch outputs identical to single conversions: {batch_same}")
print("times are medians in milliseconds (memory in MB); per-run details in", results)
PY
