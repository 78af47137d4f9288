#!/usr/bin/env python3
"""A NumPy model of the beat map: envelope and onset signals, the rows
image, tempo candidates, refinement and the folded profile. Single-precision
steps are done in float32 in the same order as the program; sums and the
autocorrelation in float64.

Usage (one command per run, results printed one item a line):
  envelope WAV SPV                 -> count, then one hex float32 per value
  onset WAV SPV                    -> onset values (hex), then onset + 1
  rows ENV SPV W H ROWH SCROLL MIX GAIN BPM BEATS OUTFILE
                                   -> 'two 0|1'; raw BGRA pixels to OUTFILE
  candidates ENV SPV METER MAX     -> 'lag L tempo T' lines
  refine ENV SPV METER BPM         -> refined tempo
  profile ENV SPV BPM METER OFFSET -> 256 float32 values (hex)
ENV is a file of little-endian float32 envelope values; WAV is read with
the wave module (16-bit stereo).
"""

import struct
import sys
import wave

import numpy as np

F = np.float32
RATE = 44100


def rounded(x):
    """x + 0.5 truncated toward zero, in float32."""
    return int(F(F(x) + F(0.5)))


def read_wav(path):
    with wave.open(path, "rb") as w:
        assert w.getnchannels() == 2 and w.getsampwidth() == 2 and w.getframerate() == RATE
        frames = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2)
    return frames.astype(F) / F(32768.0)


def envelope(samples, spv):
    count = len(samples) // spv
    per_second = RATE // spv
    chunks = max(count // per_second, 1)
    per_chunk = count // chunks
    count = chunks * per_chunk
    if count == 0:
        return np.zeros(0, dtype=F)
    blocks = np.abs(samples[: count * spv]).reshape(count, spv, 2)
    return blocks.max(axis=(1, 2)).astype(F)


def onsets(env):
    onset = np.empty_like(env)
    if len(env):
        onset[0] = env[0]
        onset[1:] = env[1:] - env[:-1]
    onset[~(onset > F(0))] = F(0)
    return onset, (onset + F(1)).astype(F)


def rows(env, spv, width, height, row_height, scroll, mix, gain, bpm, beats):
    image = np.full((height, width, 4), 255, dtype=np.uint8)
    onset, _ = onsets(env)
    count = len(env)
    total = count * spv
    per_beat = int(np.trunc(2646000.0 / float(F(bpm)) + 0.5))
    per_row = per_beat * beats
    if count == 0 or row_height <= 0 or per_row < 1:
        return image, False
    nrows = total // per_row + (1 if total % per_row else 0)
    hidden = max(nrows - height // row_height, 0)
    first = int(F(F(hidden) * F(min(max(scroll, 0.0), 1.0))))
    position = F(F(first * per_row) / F(spv))
    per_row_values = F(F(per_row) / F(spv))
    two = F(width) < per_row_values
    mixed = F(F(1) - F(mix))

    def value(i):
        return F(F(mixed * env[i]) + F(F(mix) * onset[i]))

    row_end = F(position + per_row_values)
    end = rounded(row_end)
    x = y = 0
    i = rounded(position)
    while i < count:
        if i >= end:
            row_end = F(row_end + per_row_values)
            end = rounded(row_end)
            x = 0
            y += row_height
            if y >= height:
                break
        if x < width:
            v = value(i)
            if two and i + 1 < count:
                n = value(i + 1)
                if n >= v:
                    v = n
            grey = 255 - int(F(min(F(v * F(gain)), F(1.0)) * F(255.0)))
            image[y : min(y + row_height, height), x, 0:3] = grey
            image[y : min(y + row_height, height), x, 3] = 255
        i += 2 if two else 1
        x += 1
    return image, two


def tempo_for_period(period, spv, meter):
    return F(F(60.0) / F(F(F(period * spv) / F(meter)) / F(RATE)))


def autocorrelation(env, lags):
    x = env.astype(np.float64)
    n = len(x)
    return np.array([np.dot(x[: n - k], x[k:]) if k < n else 0.0 for k in range(lags)])


def candidates(env, spv, meter, maximum):
    if len(env) == 0:
        return []
    longest = rounded(F(meter * 29400) / F(spv))
    shortest = rounded(F(meter * 14700) / F(spv))
    ac = autocorrelation(env, longest)
    found = []  # (strength, lag), strongest first, equal ones in order found
    previous = False
    for lag in range(shortest + 1, longest):
        falling = ac[lag] < ac[lag - 1]
        if falling and not previous and lag != shortest + 1:
            peak = lag - 1
            place = 0
            while place < len(found) and not (found[place][0] < ac[peak]):
                place += 1
            if place < maximum:
                found.insert(place, (ac[peak], peak))
                del found[maximum:]
        previous = falling
    return [(lag, tempo_for_period(lag, spv, meter), strength) for strength, lag in found]


def fold(factors, period, periods, length):
    product = np.ones(length, dtype=F)
    for i in range(periods):
        start = rounded(F(F(i) * period))
        n = min(length, len(factors) - start)
        if n > 0:
            with np.errstate(over="ignore"):
                product[:n] = product[:n] * factors[start : start + n]
    return product


def fold_logs(logs, period, periods, length):
    total = np.zeros(length)
    for i in range(periods):
        start = rounded(F(F(i) * period))
        n = min(length, len(logs) - start)
        if n > 0:
            total[:n] += logs[start : start + n]
    return total


def trial(tempo, spv, meter, count):
    period = F(F(F(F(60.0) / tempo) * F(RATE)) * F(meter)) / F(spv)
    period = F(period)
    return period, int(period), int(F(F(count) / period))


def refine(env, spv, meter, bpm):
    _, plus = onsets(env)
    count = len(env)
    bpm = F(bpm)
    if count == 0 or not (bpm > 0) or not np.isfinite(bpm):
        return bpm
    p = rounded(F(F(F(F(60.0) / bpm) * F(RATE)) * F(meter)) / F(spv))
    if p < 2:
        return bpm
    low = tempo_for_period(p + 1, spv, meter)
    high = tempo_for_period(p - 1, spv, meter)
    steps = int(F(F(high - low) * F(999.99994)))
    if steps <= 0:
        return bpm
    tempi = []
    t = low
    for _ in range(steps):
        tempi.append(t)
        t = F(t + F(0.001))
    scores = []
    for t in tempi:
        period, length, periods = trial(t, spv, meter, count)
        scores.append(float(np.sum(fold(plus, period, periods, length).astype(np.float64))) if length > 0 else 0.0)
    if all(np.isfinite(F(s)) for s in scores):
        best, winner = -1.0, bpm
        for t, s in zip(tempi, scores):
            if F(s) > best:
                best, winner = F(s), t
        return winner
    logs = np.log(plus.astype(np.float64))
    best, winner = None, bpm
    for t in tempi:
        period, length, periods = trial(t, spv, meter, count)
        if length <= 0:
            s = -np.inf
        else:
            entry = fold_logs(logs, period, periods, length)
            top = entry.max()
            s = top + np.log(np.sum(np.exp(entry - top)))
        if best is None or s > best:
            best, winner = s, t
    return winner


def profile(env, spv, bpm, meter, offset):
    _, plus = onsets(env)
    count = len(env)
    columns = np.zeros(256, dtype=F)
    period_samples = F(F(F(F(F(2.0) * F(meter)) * F(60.0)) / F(bpm)) * F(RATE))
    period_values = F(period_samples / F(spv))
    if count == 0 or not (period_values >= 1) or not (period_values <= count):
        return columns
    length = int(period_values)
    periods = int(F(F(count) / period_values))
    buffer = fold(plus, period_values, periods, length)
    logs = fold_logs(np.log(plus.astype(np.float64)), period_values, periods, length)
    whole = max(int(period_samples), 1)
    while offset < 0:
        offset += whole
    shift = (offset // spv) % length
    buffer = np.roll(buffer, -shift)
    logs = np.roll(logs, -shift)
    step = F(F(length) / F(256))
    width = (length + 255) // 256
    overflow = np.zeros(256, dtype=bool)
    log_columns = np.zeros(256)
    for c in range(256):
        idx = [int(F(F(F(c) * step) + F(j))) for j in range(width)]
        idx = [i for i in idx if 0 <= i < length]
        columns[c] = max([F(0)] + [buffer[i] for i in idx])
        if not np.isfinite(columns[c]):
            overflow[c] = True
            log_columns[c] = max(logs[i] for i in idx)
    with np.errstate(divide="ignore"):
        columns = np.log(columns).astype(F)
    columns[overflow] = log_columns[overflow].astype(F)
    top = columns.max()
    if top != 0:
        columns = (columns * F(F(1) / top)).astype(F)
    return columns


def hexes(values):
    return [struct.pack("<f", float(v)).hex() for v in np.asarray(values, dtype=F)]


def read_env(path):
    return np.fromfile(path, dtype="<f4").astype(F)


def main(argv):
    command = argv[1]
    if command == "envelope":
        env = envelope(read_wav(argv[2]), int(argv[3]))
        print(len(env))
        print("\n".join(hexes(env)))
    elif command == "onset":
        onset, plus = onsets(read_env(argv[2]))
        print("\n".join(hexes(onset) + hexes(plus)))
    elif command == "rows":
        env = read_env(argv[2])
        spv, w, h, rh = (int(a) for a in argv[3:7])
        scroll, mix, gain, bpm = (float(a) for a in argv[7:11])
        image, two = rows(env, spv, w, h, rh, scroll, mix, gain, bpm, int(argv[11]))
        image.tofile(argv[12])
        print("two", int(two))
    elif command == "candidates":
        env = read_env(argv[2])
        for lag, tempo, strength in candidates(env, int(argv[3]), int(argv[4]), int(argv[5])):
            print("lag", lag, "tempo", repr(float(tempo)), "strength", repr(float(strength)))
    elif command == "refine":
        print(repr(float(refine(read_env(argv[2]), int(argv[3]), int(argv[4]), float(argv[5])))))
    elif command == "profile":
        values = profile(read_env(argv[2]), int(argv[3]), float(argv[4]), int(argv[5]), int(argv[6]))
        print("\n".join(hexes(values)))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(sys.argv)
