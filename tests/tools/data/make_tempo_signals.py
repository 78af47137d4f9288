#!/usr/bin/env python3
"""Writes the tempo test songs: 16-bit stereo 44.1 kHz WAV files of a given
length (60 s by default), seeded so that every run gives the same bytes.

  make_tempo_signals.py OUTDIR [SECONDS]

Prints one line per song: name, true tempo, beats per bar, kind.
Kinds: 'accented' clicks (downbeat 1.0, other beats 0.5; 10 ms of a
Hann-windowed 1 kHz tone), 'plain' clicks (every beat 1.0), 'music' (kick,
snare, hat, a bass line that changes every bar, and noise)."""

import sys
import wave

import numpy as np

RATE = 44100
SONGS = [
    ("click-92", 92.0, 4, "accented"),
    ("click-120", 120.0, 4, "accented"),
    ("click-123.45", 123.45, 4, "accented"),
    ("click-133.33", 133.33, 4, "accented"),
    ("click-174", 174.0, 4, "accented"),
    ("click-97.3-waltz", 97.3, 3, "accented"),
    ("plain-120", 120.0, 4, "plain"),
    ("music-95", 95.0, 4, "music"),
    ("music-123.45", 123.45, 4, "music"),
    ("music-128", 128.0, 4, "music"),
    ("music-140", 140.0, 4, "music"),
    ("music-174", 174.0, 4, "music"),
    ("music-97.3-waltz", 97.3, 3, "music"),
    ("music-150-waltz", 150.0, 3, "music"),
]


def add(signal, start, sound):
    end = min(len(signal), start + len(sound))
    if start < end:
        signal[start:end] += sound[: end - start]


def click():
    n = int(0.010 * RATE)
    t = np.arange(n) / RATE
    return np.sin(2 * np.pi * 1000 * t) * np.hanning(n)


def beat_starts(bpm, frames):
    period = 60.0 * RATE / bpm
    return [int(round(k * period)) for k in range(int(frames / period) + 1)]


def clicks(bpm, meter, frames, accented):
    signal = np.zeros(frames)
    tone = click()
    for k, start in enumerate(beat_starts(bpm, frames)):
        level = 1.0 if (not accented or k % meter == 0) else 0.5
        add(signal, start, level * tone)
    return signal


def music(bpm, meter, frames, rng):
    signal = rng.normal(0.0, 0.01, frames)
    period = 60.0 * RATE / bpm
    kick_n = int(0.15 * RATE)
    t = np.arange(kick_n) / RATE
    kick = np.sin(2 * np.pi * (50 + 80 * np.exp(-t * 30)) * t) * np.exp(-t * 18)
    snare_n = int(0.12 * RATE)
    snare_env = np.exp(-np.arange(snare_n) / RATE * 30)
    hat_n = int(0.03 * RATE)
    hat_env = np.exp(-np.arange(hat_n) / RATE * 150)
    notes = [55.0, 65.41, 73.42, 49.0, 61.74, 82.41]
    starts = beat_starts(bpm, frames)
    for k, start in enumerate(starts):
        beat = k % meter
        add(signal, start, (0.9 if beat == 0 else 0.6) * kick)
        if beat % 2 == 1:
            add(signal, start, 0.35 * rng.normal(0.0, 1.0, snare_n) * snare_env)
        for half in (0, 1):
            add(signal, start + int(round(half * period / 2)), 0.12 * rng.normal(0.0, 1.0, hat_n) * hat_env)
        if beat == 0:
            note = notes[(k // meter) % len(notes)]
            n = int(round(period * meter))
            tb = np.arange(n) / RATE
            add(signal, start, 0.25 * np.sin(2 * np.pi * note * tb) * np.minimum(1.0, tb * 40))
    return signal


def write(path, signal, rng):
    peak = np.max(np.abs(signal))
    scaled = signal / peak * 0.9 if peak > 0 else signal
    left = np.round(scaled * 32767).astype("<i2")
    # The right channel is the left one with a little independent noise.
    right = np.clip(np.round(scaled * 32767 + rng.normal(0.0, 3.0, len(scaled))), -32768, 32767).astype("<i2")
    frames = np.empty((len(left), 2), dtype="<i2")
    frames[:, 0] = left
    frames[:, 1] = right
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames.tobytes())


def main(argv):
    directory = argv[1]
    seconds = float(argv[2]) if len(argv) > 2 else 60.0
    frames = int(seconds * RATE)
    for index, (name, bpm, meter, kind) in enumerate(SONGS):
        rng = np.random.default_rng(1000 + index)
        if kind == "music":
            signal = music(bpm, meter, frames, rng)
        else:
            signal = clicks(bpm, meter, frames, kind == "accented")
        write("%s/%s.wav" % (directory, name), signal, rng)
        print(name, repr(bpm), meter, kind)


if __name__ == "__main__":
    main(sys.argv)
