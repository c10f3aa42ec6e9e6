#!/usr/bin/python3
"""The NumPy/SciPy peer of `korvalin-cli analyse`, and the benchmark's capture.

  peer.py make OUT.wav      writes the capture: 10 s at 1 MS/s, 16-bit, 49.7 Hz with harmonics
  peer.py analyse IN.wav    the same steps as analyse: read, estimate the fundamental (Hann
                            spectrum peak, interpolated, refined by a phase fit over the
                            window's halves), resample the window to a power of two points
                            per cycle, rfft; prints the fundamental and the lines' magnitudes
"""
import sys

import numpy as np
from scipy.io import wavfile
from scipy import signal

RATE = 1_000_000
SECONDS = 10
FUNDAMENTAL = 49.7
LINES = [(1, 100, 20), (3, 20, 30), (5, 10, -60), (7, 5, 120), (11, 2.5, -150)]


def make(path):
    t = np.arange(RATE * SECONDS) / RATE
    x = np.zeros_like(t)
    for order, percent, degrees in LINES:
        x += 0.4 * percent / 100 * np.cos(2 * np.pi * order * FUNDAMENTAL * t + np.radians(degrees))
    x += np.random.default_rng(1).normal(0, 0.001, x.size)
    wavfile.write(path, RATE, np.round(x * 32767).astype(np.int16))


def fit_phase(x, first, last, f, rate):
    i = np.arange(first, last)
    w = signal.windows.blackmanharris(last - first, sym=False)
    c, s = np.cos(2 * np.pi * f / rate * i), np.sin(2 * np.pi * f / rate * i)
    basis = np.stack([c, s, np.ones_like(c)], axis=1) * np.sqrt(w)[:, None]
    a, b, _ = np.linalg.lstsq(basis, x[first:last] * np.sqrt(w), rcond=None)[0]
    return np.arctan2(-b, a), (first + last - 1) / 2


def analyse(path):
    rate, x = wavfile.read(path)
    x = x.astype(np.float64)
    block = 1 << min(20, int(np.log2(x.size)))
    spectrum = np.abs(np.fft.rfft((x[:block] - x[:block].mean()) * np.hanning(block + 1)[:-1]))
    k = 2 + int(np.argmax(spectrum[2:-2]))
    left, right = spectrum[k - 1], spectrum[k + 1]
    ratio = max(left, right) / spectrum[k]
    f = (k + (2 * ratio - 1) / (ratio + 1) * (1 if right >= left else -1)) * rate / block
    cycles = 12 if 55 <= f <= 65 else 10
    for _ in range(8):
        ppc = rate / f
        half = cycles // 2
        pa, ca = fit_phase(x, 0, int(half * ppc), f, rate)
        pb, cb = fit_phase(x, int(np.ceil((cycles - half) * ppc)), int(cycles * ppc), f, rate)
        change = np.remainder(pb - pa + np.pi, 2 * np.pi) - np.pi
        change = change / (2 * np.pi * (cb - ca)) * rate
        f += change
        if abs(change) < 1e-12 * f:
            break
    ppc = rate / f
    points = 32
    while points < ppc and points < 65536:
        points *= 2
    span = int(round(cycles * ppc))
    window = signal.resample(x[:span], cycles * points)
    bins = np.fft.rfft(window)
    magnitudes = np.abs(bins) / np.abs(bins[cycles]) * 100
    print(f'fundamental {f:.6f} Hz, {cycles} cycles, {points} points per cycle')
    for order in (1, 3, 5, 7, 11):
        print(f'{order:3d} {magnitudes[order * cycles]:9.4f}')


if __name__ == '__main__':
    {'make': make, 'analyse': analyse}[sys.argv[1]](sys.argv[2])
