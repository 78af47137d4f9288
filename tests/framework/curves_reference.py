#!/usr/bin/env python3
"""Reference values of the controls' response curves, computed with the
same steps and roundings as the program: the constants in double
precision, every argument and result rounded to single precision
(struct 'f'), lf and lt rounded to single precision before use.

Prints lines: exp <x> <value>, log <y> <value>, interp <fraction> <from> <to>
<value>, frac <value> <from> <to> <value>, all as repr of the floats."""

import math
import struct


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


A = math.exp(5.0)
LN_A1 = math.log(A + 1.0)
INV_LN_A1 = 1.0 / math.log(A + 1.0)


def exponential_scale(x):
    return f32((math.exp(f32(x) * LN_A1) - 1.0) / A)


def logarithmic_scale(y):
    return f32(math.log(A * f32(y) + 1.0) * INV_LN_A1)


def interpolate(fraction, low, high):
    lf = logarithmic_scale(low)
    lt = logarithmic_scale(high)
    return exponential_scale(f32(lf + f32(fraction) * (lt - lf)))


def fraction_of(value, low, high):
    lf = logarithmic_scale(low)
    lt = logarithmic_scale(high)
    if lt == lf:
        return 0.0
    return f32((logarithmic_scale(value) - lf) / (lt - lf))


points = [f32(i / 256.0) for i in range(257)] + [f32(v) for v in (1e-6, 0.001, 0.1, 0.3, 0.7, 0.999, 0.07562)]
for x in points:
    print("exp", repr(x), repr(exponential_scale(x)))
    print("log", repr(x), repr(logarithmic_scale(x)))

bounds = [(0.0, 1.0), (0.05, 0.9), (0.2, 0.25), (0.5, 0.1)]
for low, high in bounds:
    low, high = f32(low), f32(high)
    for i in range(33):
        t = f32(i / 32.0)
        print("interp", repr(t), repr(low), repr(high), repr(interpolate(t, low, high)))
        print("frac", repr(t), repr(low), repr(high), repr(fraction_of(t, low, high)))
