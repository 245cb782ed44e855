#!/usr/bin/python3
"""Scores every mode x method x palette choice on the bundled photos and prints the medians.

  bench/quality/run.py [--build DIR] [--out DIR] [--exhaustive] [--no-convert] [--sheet PNG]

Runs the built quality_driver (cmake --build build/release --target quality_driver) on
samples/*, which writes each photo's 512 x 480 work picture and result views, then scores each
view with scielab.py and prints one table of median S-CIELAB errors over the photos, followed
by the comparisons the methods and the palette search are measured by. --sheet writes a
contact sheet: for a few photos and each mode, the centre of the source, of the best original
method, of Perceptual and Screen (start palette), and of Perceptual with the searched palette.
"""
import argparse
import glob
import os
import statistics
import struct
import subprocess
import sys
import zlib

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scielab  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXISTING = ["atkinson", "floyd", "treshold", "tresholdnoise", "halftone2x2", "halftone3x3",
            "bayer2x2", "bayer4x4", "bayer8x8", "news4x4", "sierra", "burkles", "stucky",
            "jarvis", "sierralite", "sierra2row", "patterntvc"]
NEW = ["perceptual", "screen", "best"]


def score_all(out_dir):
    """{(mode, method, palette): [error per photo]} from every photo folder."""
    scores = {}
    for photo in sorted(glob.glob(os.path.join(out_dir, "*", "source.ppm"))):
        folder = os.path.dirname(photo)
        cache = os.path.join(folder, "scores.tsv")
        known = {}
        if os.path.exists(cache):
            for line in open(cache):
                name, value, mtime = line.split("\t")
                known[name] = (float(value), float(mtime))
        source_lab = None
        lines = []
        for path in sorted(glob.glob(os.path.join(folder, "*.ppm"))):
            name = os.path.basename(path)[:-4]
            if name == "source":
                continue
            mtime = os.path.getmtime(path)
            if name in known and known[name][1] == mtime:
                value = known[name][0]
            else:
                if source_lab is None:
                    src = scielab.area_average(scielab.read_ppm(photo).astype(np.float64))
                    source_lab = scielab.to_lab(scielab.filtered_xyz(src))
                diff = source_lab - scielab.to_lab(scielab.filtered_xyz(scielab.read_ppm(path)))
                value = float(np.mean(np.sqrt(np.sum(diff * diff, axis=-1))))
            lines.append(f"{name}\t{value}\t{mtime}\n")
            mode, method, palette = name.split("_")
            scores.setdefault((mode, method, palette), []).append(value)
        with open(cache, "w") as f:
            f.writelines(lines)
    return scores


def write_png(path, img):
    """An RGB picture (h x w x 3, uint8) as a PNG file."""
    raw = b"".join(b"\0" + img[y].tobytes() for y in range(img.shape[0]))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", img.shape[1], img.shape[0], 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def contact_sheet(out_dir, med, path, photos=("astronaut_512x480", "coffee_600x400")):
    """Rows of photo x mode; columns source | best original | perceptual | screen | searched
    (Graphics 16: Best, the perceptual result refined by the search on the filtered error)."""
    crop = (slice(120, 360), slice(128, 384))  # the 256 x 240 centre, pixel for pixel
    rows = []
    for photo in photos:
        folder = os.path.join(out_dir, photo)
        for mode in ("g16", "g4", "g2"):
            best = min(EXISTING, key=lambda m: med.get((mode, m, "start"), 1e9))
            names = ["source", f"{mode}_{best}_start", f"{mode}_perceptual_start",
                     f"{mode}_screen_start",
                     f"{mode}_perceptual_searched" if mode != "g16" else f"{mode}_best_start"]
            tiles = []
            for name in names:
                img = scielab.read_ppm(os.path.join(folder, name + ".ppm"))
                if img.shape[:2] != (480, 512):
                    img = np.clip(scielab.area_average(img.astype(np.float64)) + 0.5, 0, 255)
                tiles.append(np.asarray(img, np.uint8)[crop])
                tiles.append(np.full((240, 4, 3), 255, np.uint8))
            rows.append(np.concatenate(tiles[:-1], axis=1))
            rows.append(np.full((4, rows[-1].shape[1], 3), 255, np.uint8))
    write_png(path, np.concatenate(rows[:-1], axis=0))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    ap.add_argument("--out", default=os.path.join(ROOT, "out", "quality"))
    ap.add_argument("--exhaustive", action="store_true")
    ap.add_argument("--no-convert", action="store_true")
    ap.add_argument("--sheet", help="write a contact sheet PNG here")
    args = ap.parse_args()
    if not args.no_convert:
        photos = sorted(glob.glob(os.path.join(ROOT, "samples", "*.bmp")) +
                        glob.glob(os.path.join(ROOT, "samples", "*.jpg")))
        cmd = [os.path.join(args.build, "bench", "quality_driver")]
        cmd += (["--exhaustive"] if args.exhaustive else []) + [args.out] + photos
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    scores = score_all(args.out)
    med = {k: statistics.median(v) for k, v in scores.items()}
    photos = len(next(iter(scores.values())))
    print(f"Median S-CIELAB Delta E over {photos} photos (lower is better; "
          "start: the start palette, searched: the model's BestPalettes, exhaustive: every "
          "palette scored)\n")
    columns = [("g16", "start"), ("g4", "start"), ("g4", "searched"), ("g4", "exhaustive"),
               ("g2", "start"), ("g2", "searched"), ("g2", "exhaustive")]
    variants = sorted({k[1] for k in med} - set(EXISTING + NEW))  # run directly, not offered
    print(f"{'method':20}" + "".join(f" {m + ' ' + p:>14}" for m, p in columns))
    for method in EXISTING + NEW + variants:
        if method in (NEW[0], variants[0] if variants else None):
            print()
        cells = "".join(f" {med[(m, method, p)]:14.3f}" if (m, method, p) in med else f" {'':>14}"
                        for m, p in columns)
        print(f"{method:20}{cells}")
    def rel(a, b):
        return 100.0 * (med[a] - med[b]) / med[b]

    print("\nComparisons (negative: lower error)")
    for mode in ("g16", "g4", "g2"):
        best = min(EXISTING, key=lambda m: med.get((mode, m, "start"), 1e9))
        for new in NEW:
            print(f"{mode:4} {new} vs best existing ({best}), start palette: "
                  f"{rel((mode, new, 'start'), (mode, best, 'start')):+.1f} %")
    for mode in ("g4", "g2"):
        for m in ("floyd", "patterntvc", "perceptual", "screen"):
            if (mode, m, "searched") not in med:
                continue
            line = (f"{mode:4} {m}: searched palette vs start "
                    f"{rel((mode, m, 'searched'), (mode, m, 'start')):+.1f} %")
            if (mode, m, "exhaustive") in med:
                line += (f", vs exhaustive best {rel((mode, m, 'searched'), (mode, m, 'exhaustive')):+.1f} %"
                         f" (exhaustive vs start {rel((mode, m, 'exhaustive'), (mode, m, 'start')):+.1f} %)")
            print(line)
        if (mode, "perceptual", "searched") in med:
            best = min(EXISTING, key=lambda m: med.get((mode, m, "start"), 1e9))
            print(f"{mode:4} perceptual+searched vs best existing+start ({best}): "
                  f"{rel((mode, 'perceptual', 'searched'), (mode, best, 'start')):+.1f} %")
            print(f"{mode:4} perceptual vs floyd, both searched palettes: "
                  f"{rel((mode, 'perceptual', 'searched'), (mode, 'floyd', 'searched')):+.1f} %")
    if args.sheet:
        contact_sheet(args.out, med, args.sheet)
    return 0


if __name__ == "__main__":
    sys.exit(main())
