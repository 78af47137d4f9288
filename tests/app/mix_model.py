#!/usr/bin/env python3
"""The main mix's levels, worked out independently of the program: the
crossfader's curve, the deck gains and the output limiter, in double
precision with NumPy.

Each argument is one case "x,knee,main,gain0,gain1,a0,a1": crossfader
position, knee, main volume, deck gains and the amplitudes of the decks'
tones. Prints per case the expected amplitude of each deck's tone in the
mix and the peak of the limited mix of a single sounding deck."""

import sys

import numpy as np


def curve(x, knee):
    x = min(max(x, 0.0), 1.0)
    d = min(max(knee, 0.0), 1.0)
    if x == 0.0:
        return 1.0
    if x == 1.0:
        return 0.0
    if x < d:
        return 1.0 - x * (1.0 - d) / d
    return d - d * (x - d) / (1.0 - d)


def limit(s, threshold=0.9, knee=0.1):
    out = s.copy()
    high = s > threshold
    low = s < -threshold
    out[high] = threshold + knee * (1.0 - 1.0 / (s[high] - threshold + 1.0))
    out[low] = -(threshold + knee * (1.0 - 1.0 / (1.0 - (s[low] + threshold))))
    return out


phase = np.linspace(0.0, 2.0 * np.pi, 200001)
for case in sys.argv[1:]:
    x, knee, main, gain0, gain1, a0, a1 = (float(v) for v in case.split(","))
    level0 = curve(x, knee) * main * gain0 * a0
    level1 = curve(1.0 - x, knee) * main * gain1 * a1
    peak = float(np.max(np.abs(limit((level0 + level1) * np.sin(phase)))))
    print("%.9f %.9f %.9f" % (level0, level1, peak))
