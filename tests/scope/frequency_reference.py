#!/usr/bin/env python3
"""Note texts from the MIDI formula (A 4 = 440 Hz = note 69, twelve equal
semitones per octave), with the program's single-precision steps: Hz and
the note are stored as float32, the note computed in double precision from
the stored Hz, the hundredths from float32 products.

Arguments: pairs of a kind ("hz" or "note") and a value. Prints for each
pair one line: the seven-character text between bars, e.g. |A  4. 0|."""

import math
import struct
import sys

NAMES = ["C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "]
SEMITONE = 2.0 ** (1.0 / 12.0)
BLANK = " " * 7


def f32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def stored_hz(hz):
    hz = f32(hz)
    return hz if math.isnan(hz) else max(hz, f32(1e-6))


def note_of(hz):
    if math.isnan(hz):
        return hz
    if math.isinf(hz):
        return hz
    return f32(math.log(hz / 440.0) / math.log(SEMITONE) + 69.0)


def text_of(note):
    if not math.isfinite(note) or note < 0 or note >= 1212:
        return BLANK
    n = int(note)
    if n // 12 == 0:
        return BLANK
    fraction = f32(note - n)
    hundredths = int(f32(fraction * 100.0))
    return "%s%2d.%2d" % (NAMES[n % 12], n // 12 - 1, hundredths)


arguments = sys.argv[1:]
for kind, value in zip(arguments[0::2], arguments[1::2]):
    value = float(value)
    if kind == "hz":
        note = note_of(stored_hz(value))
    else:
        note = f32(value)
    print("|%s|" % text_of(note))
