#!/usr/bin/env python3
"""The MIDI clock's pulse period in float32, as the clock computes it:
(beat period x 41.666668 + 0.5), each step rounded to float32, truncated to
whole milliseconds.

Arguments: tempi in BPM (beat period 60 / BPM in float32), then "edge:N" for
the two float32 beat periods on either side of the step from N - 1 to N ms.
Prints one line per period: label, the period's float32 bits in hex, and
the pulse period in ms.
"""
import sys

import numpy as np

FACTOR = np.float32(41.666668)
HALF = np.float32(0.5)


def pulse_ms(period):
    product = np.float32(period * FACTOR)
    return int(np.float32(product + HALF))


def bits(value):
    return int(np.array([value], dtype=np.float32).view(np.uint32)[0])


def from_bits(word):
    return np.array([word], dtype=np.uint32).view(np.float32)[0]


def edge(target):
    """The smallest positive float32 period whose pulse is target ms or more."""
    low, high = bits(np.float32(0.0)), bits(np.float32(10.0))
    while high - low > 1:
        middle = (low + high) // 2
        if pulse_ms(from_bits(middle)) >= target:
            high = middle
        else:
            low = middle
    return from_bits(high)


def main():
    for argument in sys.argv[1:]:
        if argument.startswith("edge:"):
            target = int(argument[5:])
            above = edge(target)
            below = np.nextafter(above, np.float32(0.0), dtype=np.float32)
            for label, period in (("below" + str(target), below), ("at" + str(target), above)):
                print(label, format(bits(period), "08x"), pulse_ms(period))
        else:
            bpm = np.float32(float(argument))
            period = np.float32(np.float32(60.0) / bpm)
            print("bpm" + argument, format(bits(period), "08x"), pulse_ms(period))


if __name__ == "__main__":
    main()
