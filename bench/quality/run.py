#!/usr/bin/python3
"""Scores every mode x method x palette choice on the bundled photos and prints the medians.

  bench/quality/run.py [--build DIR] [--out DIR] [--exhaustive] [--no-convert]

Runs the built quality_driver (cmake --build build/release --target quality_driver) on
samples/*, which writes each photo's 512 x 480 work picture and result views, then scores each
view with scielab.py and prints one table of median S-CIELAB errors over the photos, followed
by the comparisons the methods and the palette search are measured by.
"""
import argparse
import glob
import os
import statistics
import subprocess
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scielab  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXISTING = ["atkinson", "floyd", "treshold", "tresholdnoise", "halftone2x2", "halftone3x3",
            "bayer2x2", "bayer4x4", "bayer8x8", "news4x4", "sierra", "burkles", "stucky",
            "jarvis", "sierralite", "sierra2row", "patterntvc"]


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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    ap.add_argument("--out", default=os.path.join(ROOT, "out", "quality"))
    ap.add_argument("--exhaustive", action="store_true")
    ap.add_argument("--no-convert", action="store_true")
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
    print(f"Median S-CIELAB Delta E over {photos} photos (lower is better)\n")
    print(f"{'mode':5} {'method':20} {'palette':11} {'median':>7}")
    for key in sorted(med, key=lambda k: (k[0], k[2], med[k])):
        print(f"{key[0]:5} {key[1]:20} {key[2]:11} {med[key]:7.3f}")

    def rel(a, b):
        return 100.0 * (med[a] - med[b]) / med[b]

    print("\nComparisons (negative: lower error)")
    for mode in ("g16", "g4", "g2"):
        best = min(EXISTING, key=lambda m: med.get((mode, m, "start"), 1e9))
        for new in ("perceptual", "screen"):
            print(f"{mode:4} {new} vs best existing ({best}), start palette: "
                  f"{rel((mode, new, 'start'), (mode, best, 'start')):+.1f} %")
    for mode in ("g4", "g2"):
        for m in ("floyd", "patterntvc", "perceptual"):
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
    return 0


if __name__ == "__main__":
    sys.exit(main())
