#!/usr/bin/python3
"""S-CIELAB error (Zhang & Wandell 1996) between a source picture and a result view.

Both pictures (PPM, 512 x 480; a larger source is area-averaged to that size) go from sRGB to
linear RGB, to CIE XYZ (D65), to the opponent space of S-CIELAB; each opponent plane is
filtered with its published sum of Gaussians for a viewing distance of four picture heights
(480 rows span 480 * 4 * tan 1 degree = 33.5 samples per degree); the planes go back to XYZ and
to CIELAB (white 0.9505, 1, 1.089), and the mean Delta E 1976 per pixel is reported.

As in the authors' reference code, each Gaussian is cut to a support of one degree and
normalised over it (so the very wide negative luminance part acts on the one-degree
surround), and filtered XYZ values below zero, which CIELAB does not define, count as zero.

  scielab.py SOURCE RESULT...     one mean Delta E per result
  scielab.py --self-check         checks the metric on synthetic pictures
"""
import sys

import numpy as np
from scipy import ndimage

SAMPLES_PER_DEGREE = 480 * 4 * np.tan(np.radians(1.0))
WHITE = np.array([0.9505, 1.0, 1.089])

# Rows: O1 (luminance), O2 (red-green), O3 (blue-yellow).
XYZ_TO_OPP = np.array([[0.279, 0.72, -0.107],
                       [-0.449, 0.29, -0.077],
                       [0.086, -0.59, 0.501]])
OPP_TO_XYZ = np.linalg.inv(XYZ_TO_OPP)
RGB_TO_XYZ = np.array([[0.4124, 0.3576, 0.1805],
                       [0.2126, 0.7152, 0.0722],
                       [0.0193, 0.1192, 0.9505]])
# (weight, spread in degrees) of each plane's Gaussians, each exp(-r^2 / spread^2).
FILTERS = [
    [(0.921, 0.0283), (0.105, 0.133), (-0.108, 4.336)],
    [(0.531, 0.0392), (0.330, 0.494)],
    [(0.488, 0.0536), (0.371, 0.386)],
]


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    w, h = int(fields[1]), int(fields[2])
    return np.frombuffer(data, np.uint8, w * h * 3, pos).reshape(h, w, 3)


def area_average(img, w=512, h=480):
    """Area-average resample of an h0 x w0 x 3 float picture to h x w."""
    def matrix(n_out, n_in):
        m = np.zeros((n_out, n_in))
        for i in range(n_out):
            a, b = i * n_in / n_out, (i + 1) * n_in / n_out
            for j in range(int(np.floor(a)), int(np.ceil(b))):
                m[i, j] = min(b, j + 1) - max(a, j)
        return m / m.sum(axis=1, keepdims=True)
    if img.shape[:2] == (h, w):
        return img
    my, mx = matrix(h, img.shape[0]), matrix(w, img.shape[1])
    return np.einsum("ij,jkc,lk->ilc", my, img, mx)


def srgb_to_linear(v):
    c = v / 255.0
    return np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)


def lab_f(t):
    return np.where(t > 0.008856, np.cbrt(np.maximum(t, 0)), 7.787 * t + 16.0 / 116.0)


def to_lab(xyz):
    fx, fy, fz = (lab_f(xyz[..., i] / WHITE[i]) for i in range(3))
    return np.stack([116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)], axis=-1)


def filtered_xyz(rgb8):
    """sRGB picture (h x w x 3, 0..255) -> spatially filtered XYZ."""
    xyz = srgb_to_linear(rgb8.astype(np.float64)) @ RGB_TO_XYZ.T
    opp = xyz @ XYZ_TO_OPP.T
    out = np.empty_like(opp)
    for c, parts in enumerate(FILTERS):
        total = sum(w for w, _ in parts)
        acc = np.zeros(opp.shape[:2])
        for w, spread in parts:
            sigma = spread * SAMPLES_PER_DEGREE / np.sqrt(2.0)
            radius = min(int(np.ceil(3.0 * sigma)), int(SAMPLES_PER_DEGREE / 2))
            acc += w / total * ndimage.gaussian_filter(opp[..., c], sigma, mode="reflect",
                                                       radius=radius)
        out[..., c] = acc
    return np.maximum(out @ OPP_TO_XYZ.T, 0.0)


def scielab(source, result):
    """Mean Delta E 1976 between two sRGB pictures of 512 x 480 (the source is resampled)."""
    source = area_average(source.astype(np.float64))
    diff = to_lab(filtered_xyz(source)) - to_lab(filtered_xyz(result))
    return float(np.mean(np.sqrt(np.sum(diff * diff, axis=-1))))


def self_check():
    rng = np.random.default_rng(1)
    photo = rng.integers(0, 256, (480, 512, 3)).astype(np.float64)
    photo = ndimage.uniform_filter(photo, (9, 9, 1))
    assert scielab(photo, photo) < 1e-9, "identical pictures must give 0"
    # A flat colour against a flat colour: the filters keep flat fields, so the error is the
    # plain CIELAB difference of the two colours.
    grey, lighter = np.full((480, 512, 3), 100.0), np.full((480, 512, 3), 110.0)
    expected = np.linalg.norm(to_lab(srgb_to_linear(np.array([110.0] * 3)) @ RGB_TO_XYZ.T) -
                              to_lab(srgb_to_linear(np.array([100.0] * 3)) @ RGB_TO_XYZ.T))
    got = scielab(grey, lighter)
    assert abs(got - expected) < 1e-6 * expected, (got, expected)
    # Bigger shifts give bigger errors; a fine black-white checkerboard seen from afar is far
    # closer to its mean grey than to either of its colours.
    shifts = [scielab(photo, np.clip(photo + s, 0, 255)) for s in (2, 8, 32)]
    assert shifts[0] < shifts[1] < shifts[2], shifts
    checker = ((np.indices((480, 512)).sum(axis=0) % 2) * 255.0)[..., None].repeat(3, axis=2)
    mid = 255 * ((0.5 ** (1 / 2.4)) * 1.055 - 0.055)
    assert scielab(np.full_like(checker, mid), checker) < 0.2 * scielab(checker * 0, checker)
    print(f"self-check ok: 0 for identical, flat shift {got:.3f} = {expected:.3f}, "
          f"shifts {shifts[0]:.2f} < {shifts[1]:.2f} < {shifts[2]:.2f}")


def main(argv):
    if argv[1:] == ["--self-check"]:
        self_check()
        return 0
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    source = read_ppm(argv[1])
    for path in argv[2:]:
        print(f"{scielab(source, read_ppm(path)):.4f} {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
