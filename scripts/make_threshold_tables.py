#!/usr/bin/python3
"""Prints the void-and-cluster threshold matrices of dither/aspect_ordered_tables.cc.

Each matrix ranks the cells of a 16 x 16 tile (0..255) so that every prefix spreads as evenly
as possible on the screen: the energy of a cell is a toroidal Gaussian of the displayed
distance, so a pixel twice as wide as high counts its horizontal neighbours twice as far away.
The tables are generated once and stored as data; this script only documents how.
"""
import numpy as np

N = 16
SIGMA = 1.5


def energy_kernel(aspect_x, aspect_y):
    d = np.arange(N)
    d = np.minimum(d, N - d)
    dx = (d * aspect_x)[None, :]
    dy = (d * aspect_y)[:, None]
    return np.exp(-(dx * dx + dy * dy) / (2 * SIGMA * SIGMA))


def energy(pattern, kernel):
    return np.real(np.fft.ifft2(np.fft.fft2(pattern) * np.fft.fft2(kernel)))


def void_and_cluster(aspect_x, aspect_y, seed=15):
    kernel = energy_kernel(aspect_x, aspect_y)
    rng = np.random.default_rng(seed)
    pattern = np.zeros((N, N))
    pattern.flat[rng.choice(N * N, N * N // 10, replace=False)] = 1
    while True:  # move the tightest cluster's pixel into the largest void until stable
        e = energy(pattern, kernel)
        cluster = np.argmax(np.where(pattern == 1, e, -np.inf))
        pattern.flat[cluster] = 0
        e = energy(pattern, kernel)
        void = np.argmin(np.where(pattern == 0, e, np.inf))
        if void == cluster:
            pattern.flat[cluster] = 1
            break
        pattern.flat[void] = 1
    ranks = np.zeros(N * N, dtype=int)
    ones = int(pattern.sum())
    p = pattern.copy()
    for r in range(ones - 1, -1, -1):
        e = energy(p, kernel)
        cluster = np.argmax(np.where(p == 1, e, -np.inf))
        p.flat[cluster] = 0
        ranks[cluster] = r
    p = pattern.copy()
    for r in range(ones, N * N):
        e = energy(p, kernel)
        void = np.argmin(np.where(p == 0, e, np.inf))
        p.flat[void] = 1
        ranks[void] = r
    return ranks.reshape(N, N)


def emit(name, m):
    print(f"constexpr std::array<std::uint8_t, 256> {name} = {{")
    for row in m:
        print("    " + ", ".join(f"{v:3d}" for v in row) + ",  //")
    print("};")


if __name__ == "__main__":
    emit("kSquareRanks", void_and_cluster(1.0, 1.0))
    emit("kWideRanks", void_and_cluster(2.0, 1.0))
