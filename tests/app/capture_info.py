#!/usr/bin/env python3
"""Reads a captured WAV file with the standard library's wave module and
prints: channels, sample width in bytes, frame rate, frame count and the
largest absolute 16-bit sample."""

import array
import sys
import wave

with wave.open(sys.argv[1], "rb") as capture:
    channels = capture.getnchannels()
    width = capture.getsampwidth()
    rate = capture.getframerate()
    frames = capture.getnframes()
    data = capture.readframes(frames)

largest = 0
if width == 2:
    samples = array.array("h")
    samples.frombytes(data)
    if sys.byteorder != "little":
        samples.byteswap()
    largest = max((abs(s) for s in samples), default=0)
print(channels, width, rate, frames, largest)
