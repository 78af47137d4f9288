#!/usr/bin/env python3
"""Column arithmetic of a deck strip, written from its description with
NumPy float32 where the strip keeps single-precision values.

Input file (argv[1]), one case per line:
  width spp startBeat nBeats pos len ... (the grid from startBeat on) | probe positions
Output, per case, one line of integers:
  samplesInWidth lastBeat lastBeatEnd usableColumns
  then c0 c1 of each beat startBeat..lastBeat,
  then positionAt(offset) for offset -1..width (or 'x' when refused),
  then columnAt(p) offset for each probe (or 'x'), then the main pointer
  offset for each probe (or 'f' when off scale).
"""
import sys
import numpy as np

f32 = np.float32


def trunc(value):
    return int(np.trunc(value))


def column_of(offset, spp):
    return trunc(f32(offset) / spp)


def run(line):
    grid_part, probe_part = line.split('|')
    numbers = [int(v) for v in grid_part.split()]
    width, spp_bits, start_beat, n = numbers[:4]
    spp = np.frombuffer(np.uint32(spp_bits).tobytes(), dtype=np.float32)[0]
    records = {}
    for k in range(n):
        records[start_beat + k] = (numbers[4 + 2 * k], numbers[5 + 2 * k])
    probes = [int(v) for v in probe_part.split()]

    def beat_index_at(t):
        for index, (pos, length) in records.items():
            if pos <= t < pos + length:
                return index
        if t < records[start_beat][0]:
            return start_beat - 1  # a beat before the strip: the grid's own
        raise ValueError('grid too short')

    start_position = records[start_beat][0]
    samples_in_width = trunc(f32(width) * spp)
    b = beat_index_at(start_position + samples_in_width - 1)
    if beat_index_at(start_position + samples_in_width) == b:
        b -= 1
    if b < start_beat:
        last_end = 0  # the beat before the strip ends where it starts
    else:
        pos, length = records[b]
        last_end = pos + length - start_position
    usable = trunc(f32(last_end) / spp)
    out = [samples_in_width, b, last_end, usable]
    for i in range(start_beat, b + 1):
        pos, length = records[i]
        c0 = column_of(pos - start_position, spp)
        c1 = column_of(pos + length - start_position, spp)
        if c1 > c0:
            c1 -= 1
        out += [c0, c1]
    for offset in range(-1, width + 1):
        if offset < 0 or offset >= usable:
            out.append('x')
        else:
            out.append(start_position + trunc(f32(offset) * spp))
    for p in probes:
        c = column_of(p - start_position, spp)
        out.append('x' if c < 0 or c >= usable else c)
    for p in probes:
        c = column_of(p - start_position, spp)
        out.append('f' if c < 0 or c > width - 1 else c)
    return ' '.join(str(v) for v in out)


def main():
    with open(sys.argv[1]) as cases:
        for line in cases:
            if line.strip():
                print(run(line))


if __name__ == '__main__':
    main()
