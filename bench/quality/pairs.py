#!/usr/bin/python3
"""Scores every Graphics 2 pair with the metric itself: how far the palette search's choice is
from the best pair, with and without the contrast guard.

  bench/quality/quality_driver --pairs METHOD OUTDIR samples/*     (every pair's result view)
  bench/quality/pairs.py OUTDIR [QUALITY_OUT]

QUALITY_OUT (default out/quality) holds run.py's g2_<method>_start/_searched views to compare.
"""
import glob
import os
import statistics
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scielab  # noqa: E402

# CIELAB lightness of the 16-colour table (bits: 1 blue, 2 red, 4 green, 8 bright; levels
# 145 and 255; index 8 is a second black).
def table_lightness(i):
    level = 255 if i & 8 else 145
    rgb = [level if i & 2 else 0, level if i & 4 else 0, level if i & 1 else 0]  # red, green, blue
    lin = [float(scielab.srgb_to_linear(np.array(float(c)))) for c in rgb]
    y = 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2]
    return 116 * np.cbrt(y) - 16 if y > 0.008856 else 903.3 * y


def score(source_lab, path):
    d = source_lab - scielab.to_lab(scielab.filtered_xyz(scielab.read_ppm(path)))
    return float(np.mean(np.sqrt(np.sum(d * d, axis=-1))))


def main():
    pairs_dir = sys.argv[1]
    quality = sys.argv[2] if len(sys.argv) > 2 else "out/quality"
    rows = []
    for folder in sorted(glob.glob(os.path.join(pairs_dir, "*"))):
        src = scielab.area_average(
            scielab.read_ppm(os.path.join(folder, "source.ppm")).astype(np.float64))
        lab = scielab.to_lab(scielab.filtered_xyz(src))
        scores = {}
        for path in glob.glob(os.path.join(folder, "g2pair_*.ppm")):
            a, b = map(int, os.path.basename(path)[7:-4].split("-"))
            scores[(a, b)] = score(lab, path)
        guarded = {k: v for k, v in scores.items()
                   if abs(table_lightness(k[0]) - table_lightness(k[1])) >= 40}
        name = os.path.basename(folder)
        best = min(scores, key=scores.get)
        best_g = min(guarded, key=guarded.get)
        start = scores[(0, 15)]
        rows.append((name, start, scores[best], best, guarded[best_g], best_g))
        print(f"{name:22} start {start:6.2f}  best {scores[best]:6.2f} {best}  "
              f"guarded best {guarded[best_g]:6.2f} {best_g}")
    med = lambda i: statistics.median(r[i] for r in rows)
    print(f"median: start {med(1):.2f}, best pair {med(2):.2f} "
          f"({100 * (med(2) - med(1)) / med(1):+.1f} %), guarded best {med(4):.2f} "
          f"({100 * (med(4) - med(1)) / med(1):+.1f} %)")


if __name__ == "__main__":
    main()
