#!/usr/bin/python3
"""The NumPy/SciPy peer of `korvalin-cli analyse --all-windows`, and the benchmark's recording.

  peer.py make OUT.wav      writes the recording: 1 h at 10 kS/s, 4 channels, 16-bit; three
                            phases and a neutral at 50 Hz drifting by 0.05 Hz, with harmonics
  peer.py analyse IN.wav    the same steps: the file streamed in blocks; 10-cycle windows back
                            to back, each at the fundamental tracked on channel 1 (phase drift
                            between the window's halves); every channel resampled to 256 points
                            per cycle by the same Kaiser-windowed sinc (48 taps, 1024 phases),
                            rfft, harmonic and interharmonic subgroups to order 50, THD; the
                            10-minute values (root mean square of the windows) and their
                            maximum, 95th and 99th percentiles and mean; prints a summary
"""
import sys
import wave

import numpy as np

RATE = 10_000
SECONDS = 3600
CHANNELS = 4
CYCLES = 10
PPC = 256
HALF_WIDTH = 24
PHASES = 1024
BETA = 8.6
ORDERS = 50
TEN_MINUTES = 600.0
BLOCK = 1 << 16


def make(path):
    with wave.open(path, "wb") as out:
        out.setnchannels(CHANNELS)
        out.setsampwidth(2)
        out.setframerate(RATE)
        rng = np.random.default_rng(1)
        phase = 0.0
        for first in range(0, RATE * SECONDS, RATE * 10):
            n = np.arange(first, first + RATE * 10)
            f = 50.0 + 0.05 * np.sin(2 * np.pi * n / RATE / 900.0)
            phi = phase + np.cumsum(2 * np.pi * f / RATE)
            phase = phi[-1]
            block = np.zeros((n.size, CHANNELS))
            for c, shift in enumerate((0.0, -2 * np.pi / 3, 2 * np.pi / 3)):
                block[:, c] = 0.6 * (np.cos(phi + shift) + 0.04 * np.cos(5 * (phi + shift))
                                     + 0.02 * np.cos(7 * (phi + shift) + 1.0))
            block[:, 3] = 0.2 * np.cos(3 * phi) + 0.05 * np.cos(phi)
            block += rng.normal(0, 0.0005, block.shape)
            out.writeframes(np.round(block * 32767).astype("<i2").tobytes())


def kernel_table():
    reach = HALF_WIDTH
    taps = 2 * reach
    fraction = np.arange(PHASES + 1)[:, None] / PHASES
    u = fraction + reach - 1 - np.arange(taps)[None, :]
    r = u / reach
    w = np.where(np.abs(r) < 1, np.i0(BETA * np.sqrt(np.clip(1 - r * r, 0, None))) / np.i0(BETA), 0)
    table = np.sinc(u) * w
    return (table / table.sum(axis=1, keepdims=True)).astype(np.float32), reach


def subgroups(lines):
    c = CYCLES
    h = np.arange(1, ORDERS + 1)
    harmonic = np.sqrt(lines[c * h - 1] ** 2 + lines[c * h] ** 2 + lines[c * h + 1] ** 2)
    inter = np.array([np.sqrt(np.sum(lines[c * k + 2:c * (k + 1) - 1] ** 2)) for k in range(1, ORDERS)])
    return harmonic, inter


class Stream:
    """The file's frames from a moving base, read in blocks."""

    def __init__(self, path):
        self.wav = wave.open(path, "rb")
        self.rate = self.wav.getframerate()
        self.channels = self.wav.getnchannels()
        self.data = np.zeros((0, self.channels), np.float32)
        self.base = 0
        self.ended = False

    def fill(self, until):
        while not self.ended and self.base + len(self.data) < until:
            raw = self.wav.readframes(BLOCK)
            if not raw:
                self.ended = True
                break
            block = np.frombuffer(raw, "<i2").reshape(-1, self.channels).astype(np.float32) / 32768
            self.data = np.concatenate([self.data, block])

    def drop(self, before):
        if before - self.base > len(self.data) // 2:
            self.data = self.data[before - self.base:]
            self.base = before


def track(x, start, f, rate):
    for _ in range(3):
        length = CYCLES * rate / f
        first, middle, last = int(np.ceil(start)), int(np.ceil(start + length / 2)), int(np.ceil(start + length))
        n = np.arange(first, last)
        z = x[first:last] * np.exp(-2j * np.pi * f / rate * (n - start))
        early, late = z[:middle - first].sum(), z[middle - first:].sum()
        change = np.angle(late * np.conj(early)) / (2 * np.pi * (last - first) / 2) * rate
        f += change
        if abs(change) < 1e-7 * f:
            break
    return f


def analyse(path):
    stream = Stream(path)
    rate = stream.rate
    table, reach = kernel_table()
    taps = table.shape[1]
    offsets = np.arange(taps) - reach + 1
    f = 50.0
    at = float(reach)  # windows start where the kernel has samples on both sides
    ten = {}
    while True:
        length = CYCLES * rate / f
        stream.fill(int(at + 1.1 * length) + reach + 2)
        if at + length + reach > stream.base + len(stream.data):
            break
        local = at - stream.base
        f = track(stream.data[:, 0].astype(np.float64), local, f, rate)
        length = CYCLES * rate / f
        t = local + np.arange(CYCLES * PPC) * (length / (CYCLES * PPC))
        whole = t.astype(np.int64)
        phase = np.round((t - whole) * PHASES).astype(np.int64)
        gathered = stream.data[whole[:, None] + offsets[None, :]]  # points x taps x channels
        windows = np.einsum("pt,ptc->cp", table[phase], gathered)
        spectra = np.abs(np.fft.rfft(windows, axis=1)) * 2 / windows.shape[1]
        key = int((at / rate) // TEN_MINUTES)
        for c in range(stream.channels):
            harmonic, inter = subgroups(spectra[c])
            values = np.concatenate([[harmonic[0] / np.sqrt(2)], 100 * harmonic[1:] / harmonic[0],
                                     100 * inter / harmonic[0],
                                     [100 * np.sqrt(np.sum(harmonic[1:40] ** 2)) / harmonic[0]]])
            ten.setdefault((c, key), []).append(values ** 2)
        at += length
        stream.drop(int(at) - reach - 2)
    for c in range(stream.channels):
        tens = np.array([np.sqrt(np.mean(v, axis=0)) for (ch, _), v in sorted(ten.items()) if ch == c])
        ordered = np.sort(tens, axis=0)
        n = len(tens)
        p95 = ordered[int(np.ceil(0.95 * n)) - 1]
        p99 = ordered[int(np.ceil(0.99 * n)) - 1]
        print(f"channel {c + 1}: {n} 10-minute values; thd max {tens[:, -1].max():.3f} "
              f"p95 {p95[-1]:.3f} p99 {p99[-1]:.3f} mean {tens[:, -1].mean():.3f}; "
              f"h5 p95 {p95[4]:.3f}")


if __name__ == "__main__":
    {"make": make, "analyse": analyse}[sys.argv[1]](sys.argv[2])
