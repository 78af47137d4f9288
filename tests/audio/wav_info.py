#!/usr/bin/env python3
"""Prints what Python's wave module reads from each WAV file named: one line
each of channels, bytes per sample, frame rate and frame count."""

import sys
import wave

for path in sys.argv[1:]:
    with wave.open(path, "rb") as capture:
        print(capture.getnchannels(), capture.getsampwidth(), capture.getframerate(), capture.getnframes())
