#!/usr/bin/python3
"""A NumPy peer of Korvalin's recalculation: the same sums, the same transform, the same figures.

For each design (a .kvk coefficient file) it synthesises the waveform as a direct sum of
cosines (or sines), takes the real FFT of the FFT window, turns the bins into values in
percent of the fundamental and the five distortion figures, and times the whole of it.
Prints one JSON object: per case the median CPU time in seconds and the figures.
"""
import json
import math
import sys
import time
import timeit

import numpy as np


def read_design(path):
    """Settings and entries of a coefficient file, read as Korvalin reads them."""
    settings = dict(fft=1, display=12, cosine=1, reference=1, ppc=128.0)
    numbers, magnitudes, phases = [], [], []
    with open(path, newline='') as f:
        for line in f:
            line = line.rstrip('\r\n')
            if line.startswith(':'):
                fields = line[1:].split()
                settings.update(fft=int(fields[0]), display=int(fields[1]), cosine=int(fields[2]),
                                reference=int(fields[3]), ppc=float(np.float32(fields[4])))
            elif line and line[0] not in '!;':
                n, m, p = line.split()[:3]
                numbers.append(np.float32(n))
                magnitudes.append(np.float32(m))
                phases.append(int(float(p)))
    entries = (np.array(numbers, dtype=np.float64), np.array(magnitudes, dtype=np.float64),
               np.array(phases, dtype=np.float64))
    return settings, entries


def recalculate(settings, entries):
    ppc = settings['ppc']
    cycles_fft = settings['fft']
    samples = int(max(settings['display'], cycles_fft) * ppc + 0.5)
    size = int(cycles_fft * ppc + 0.5)
    n, m, p = entries
    theta = np.arange(samples) * (2.0 * math.pi / ppc)
    phi = p * (math.pi / 180.0)
    if settings['reference']:
        angles = np.outer(n, theta) + phi[:, None]
    else:
        angles = n[:, None] * (theta[None, :] + phi[:, None])
    terms = np.cos(angles) if settings['cosine'] else np.sin(angles)
    x = m @ terms if len(m) else np.zeros(samples)

    bins = np.fft.rfft(x[:size])
    power = bins.real ** 2 + bins.imag ** 2
    amplitude = np.sqrt(power)
    ref = max(amplitude[cycles_fft], 1.0)
    scale = 100.0 / ref
    values = amplitude * scale
    values[0] *= 0.5
    power[0] *= 0.25
    values[values < 0.01] = 0.0
    k = np.arange(len(bins))
    harmonic = k % cycles_fft == 0
    order = k // cycles_fft
    dc = power[0]
    inter = power[(~harmonic) & (k > 0)].sum()
    odd = power[harmonic & (order >= 2) & (order % 2 == 1)].sum()
    even = power[harmonic & (order >= 2) & (order % 2 == 0)].sum()
    total = dc + inter + odd + even
    fundamental = max(values[cycles_fft], 1.0)
    factor = scale * 100.0 / fundamental
    return {name: math.sqrt(value) * factor for name, value in
            dict(total=total, odd=odd, even=even, dc=dc, inter=inter).items()}


def main():
    cases = {}
    for path in sys.argv[1:]:
        settings, entries = read_design(path)
        figures = recalculate(settings, entries)
        # CPU time of the process, as Korvalin's cases report theirs (NumPy may use threads).
        runs = timeit.repeat(lambda: recalculate(settings, entries), repeat=15, number=3,
                             timer=time.process_time)
        cases[path] = dict(median=float(np.median(runs)) / 3, figures=figures,
                           entries=int(len(entries[0])))
    json.dump(cases, sys.stdout, indent=1)


if __name__ == '__main__':
    main()
