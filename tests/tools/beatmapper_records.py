#!/usr/bin/env python3
"""The beat meta-data the beat mapper saves after a user set beats on its
marker map, computed here from the beat list's rules and written with the
golden file's own chunk writer (tests/audio/qrt_golden.py), in float32 where
the program computes in float.

    beatmapper_records.py beats SPEC.json        prints two lines:
        "played P..."  the beat list after the markers were set (what plays)
        "saved P..."   the list the save writes (phrase-aligned beats put in front)
    beatmapper_records.py write SPEC.json OUT    writes the .qrt file the save writes

SPEC holds: songLength, bpm (the BPM slider's value), markers (the set
beats' positions, in the order they were set), meter, beatGroup, barGroup
(indices), usePng, texts (track, artist, album, comments, year, label), key
([tonic, mode] or null), samplesPerLevel, and for write the paths of the
envelope ("levels") and the folded profile ("profile") as float32 files.
"""
import json
import math
import os
import struct
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "audio"))
from qrt_golden import qrt_bytes, text  # noqa: E402

f32 = np.float32
RATE = 44100


def trunc(x):
    return int(math.trunc(float(x)))


def from_markers(positions):
    """Set beats from the markers: sorted, then each kept only more than
    1000 frames after the last kept one."""
    kept = []
    for p in sorted(positions):
        if not kept or p - kept[-1] > 1000:
            kept.append(p)
    return [(p, False) for p in kept]


def regrid(beats, song_length, bpm):
    if not beats:
        return beats
    beat_length = f32(f32(RATE) / f32(bpm)) * f32(60.0)
    grid = []
    first = beats[0][0]
    before = trunc(f32(first) / beat_length)
    for i in range(before):
        grid.append((trunc(f32(first) - f32(f32(before - i) * beat_length)), True))
    for c in range(1, len(beats)):
        a, b = beats[c - 1][0], beats[c][0]
        e = f32(f32(b - a) / beat_length)
        steps = trunc(e)
        if f32(e - f32(math.floor(e))) > f32(0.5):
            steps += 1
        grid.append((a, False))
        for j in range(1, steps):
            grid.append((a + trunc(f32(j) * beat_length), True))
    last = beats[-1][0]
    grid.append((last, False))
    after = trunc(f32(song_length - last) / beat_length)
    for j in range(1, after + 1):
        grid.append((trunc(f32(j) * beat_length) + last, True))
    return grid


def interpolate(beats):
    beats = list(beats)
    s = 0
    while s < len(beats) and beats[s][1]:
        s += 1
    for t in range(s + 1, len(beats)):
        if beats[t][1]:
            continue
        step = f32(f32(beats[t][0] - beats[s][0]) / f32(t - s))
        for c in range(1, t - s):
            beats[s + c] = (beats[s][0] + trunc(f32(c) * step), True)
        s = t
    return beats


def played(spec):
    return interpolate(regrid(from_markers(spec["markers"]), spec["songLength"], spec["bpm"]))


def alignment(beats, spec):
    """(M, n, prepended) of the phrase alignment."""
    meter = spec["meter"]
    first_set = next((i for i, (_, generated) in enumerate(beats) if not generated), 0)
    m = spec["beatGroup"] + meter * spec["barGroup"] - first_set
    n = 0
    while m < 0:
        m += meter
        n -= 1
    while m >= meter:
        m -= meter
        n += 1
    n &= 3
    return m, n, m + n * meter


def saved(spec):
    beats = played(spec)
    m, n, count = alignment(beats, spec)
    gap = beats[1][0] - beats[0][0]
    for _ in range(count):
        beats.insert(0, (beats[0][0] - gap, True))
    return beats, m, n


def median_bpm(beats):
    distances = sorted(beats[i + 1][0] - beats[i][0] for i in range(len(beats) - 1))
    return f32(f32(RATE) * f32(60.0)) / f32(distances[(len(beats) - 2) // 2])


def cut(value):
    return value.encode("latin-1")[:127].decode("latin-1")


def write(spec, out):
    beats, m, n = saved(spec)
    meter = spec["meter"]
    texts = spec["texts"]
    chunks = [
        ("Markers Beat",
         struct.pack("<ii", RATE, len(beats)) + b"".join(struct.pack("<ii", p, 1 if g else 0) for p, g in beats)),
        ("BT Tempo Fixed", struct.pack("<f", f32(spec["bpm"]))),
        ("BT Tempo Fixed 2", struct.pack("<i", 1)),
        ("BT Strip", struct.pack("<4i", m + 1, meter, 1, 0)),
        ("BT Strip 2", struct.pack("<2i", n + 1, 0)),
        ("BT Strip 3", struct.pack("<i", 1 if spec["usePng"] else 0)),
        ("ID", b"".join(text(cut(texts[k])) for k in ("track", "artist", "album", "comments", "year"))
         + struct.pack("<f", median_bpm(beats))),
        ("ID 2", text(cut(texts["label"]))),
    ]
    if spec["key"] is not None:
        chunks.append(("Key", struct.pack("<ii", *spec["key"])))
    levels = np.fromfile(spec["levels"], dtype="<f4")
    stored = np.clip(np.trunc(levels * f32(255.0) + f32(0.5)), 0, 255).astype(np.uint8).tobytes()
    stored = stored.ljust((len(levels) + 3) // 4 * 4, b"\0")
    profile = np.fromfile(spec["profile"], dtype="<f4")
    points = struct.pack("<ii", spec["samplesPerLevel"], len(levels)) + stored
    points += struct.pack("<i", len(profile)) + profile.view("<i4").tobytes()
    chunks.append(("Points", points))
    chunks.append(("End", b""))
    with open(out, "wb") as f:
        f.write(qrt_bytes(chunks))


def main():
    with open(sys.argv[2]) as f:
        spec = json.load(f)
    if sys.argv[1] == "beats":
        print("played " + " ".join(str(p) for p, _ in played(spec)))
        print("saved " + " ".join(str(p) for p, _ in saved(spec)[0]))
    else:
        write(spec, sys.argv[3])


if __name__ == "__main__":
    main()
