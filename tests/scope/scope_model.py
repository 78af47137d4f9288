"""A NumPy model of the scope's drawing, for the scope's tests.

trace RING READ WIDTH S KEPT [LEVEL]
    RING is a file of float32 samples (the signal copy, one ring), READ the
    read position (just after the newest sample), S the samples per column
    (float32), KEPT how many columns an incremental update keeps. With LEVEL
    the window starts at the newest rising crossing of the level at or
    before the latest start that leaves a whole window (one ring searched).
    Prints the window's start, whether a crossing was found, then one line
    per computed column: minimum and maximum.

spectrum RING START N TABLE
    The spectrum columns of the N samples from START (wrapping at the ring's
    end), before the decibel mapping: zero padding to the next power of two
    L (the block at (L - N) // 2 + 1), the block scaled by L / N and
    windowed (Bartlett), the magnitudes of the real FFT divided by L, and
    column u the sum of bins TABLE[u] .. TABLE[u + 1] - 1 (bin TABLE[u] alone
    when the next entry is not larger); the last value the magnitude of bin
    TABLE[-1]. TABLE is a file of int32 bin indices. One value per line.
"""
import sys

import numpy as np


def wrap(position, ring):
    position = np.fmod(position, float(ring))
    if position < 0.0:
        position += ring
    return 0.0 if position >= ring else position


def find_trigger(signal, latest, level):
    ring = len(signal)
    second = int(wrap(float(latest), ring))
    for _ in range(ring):
        first = ring - 1 if second == 0 else second - 1
        if signal[first] <= level and signal[second] > level:
            return second
        second = first
    return -1


def trace(ring_file, read, width, s, kept, level=None):
    signal = np.fromfile(ring_file, dtype=np.float32)
    ring = len(signal)
    s = float(np.float32(s))
    window = float(width) * s
    start = wrap(read - window + s * kept - 1.0, ring)
    found = True
    if level is not None:
        latest = int(np.floor(wrap(read - window + 1.0, ring)))
        at = find_trigger(signal, latest, np.float32(level))
        found = at >= 0
        if found:
            start = float(at)
    print(repr(start), int(found))
    magnitude = np.abs(signal)
    count = max(1, int(s))
    for c in range(width - kept):
        index = int(wrap(start + c * s, ring))
        if s <= 1.0:
            print("0", repr(float(signal[index])))
            continue
        picks = (index + np.arange(count)) % ring
        largest = float(np.max(magnitude[picks]))
        print(repr(-largest), repr(largest))


def spectrum(ring_file, start, n, table_file):
    signal = np.fromfile(ring_file, dtype=np.float32).astype(np.float64)
    table = np.fromfile(table_file, dtype=np.int32)
    length = 1
    while length < n:
        length *= 2
    pad = (length - n) // 2 + 1 if length > n else 0
    block = signal[(start + np.arange(n)) % len(signal)] * (length / n) * np.bartlett(n)
    time = np.zeros(length)
    time[pad:pad + n] = block
    magnitude = np.abs(np.fft.rfft(time)) / length
    columns = len(table) - 1
    for u in range(columns):
        first, last = table[u], table[u + 1]
        value = magnitude[first:last].sum() if last > first else magnitude[first]
        print(repr(float(value)))
    print(repr(float(magnitude[table[columns]])))


def main():
    if sys.argv[1] == "trace":
        level = float(sys.argv[7]) if len(sys.argv) > 7 else None
        trace(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5]), int(sys.argv[6]), level)
    elif sys.argv[1] == "spectrum":
        spectrum(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5])


if __name__ == "__main__":
    main()
