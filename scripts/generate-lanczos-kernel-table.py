#!/usr/bin/env python3
"""Prints the body of primitives/resize/LanczosKernelTable.cpp.

Entry i (0 to 300) is the Lanczos-3 kernel L(x) = 3 sin(pi x) sin(pi x / 3) / (pi x)^2
at x = i / 100, L(0) = 1, rounded to single precision; entry 301 is 0. The
kernel's zeros are exact: entry 100 is -0.0 (the weights at a whole position
come out as (0, -0, 1, -0, 0, 0)), entries 200, 300 and 301 are +0.0.
"""
import math
import struct


def kernel(x):
    if x == 0.0:
        return 1.0
    px = math.pi * x
    return 3.0 * math.sin(px) * math.sin(px / 3.0) / (px * px)


def to_float(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def literal(value):
    if value == 0.0:
        return "-0.0f" if math.copysign(1.0, value) < 0 else "0.0f"
    mantissa, exponent = float.hex(value).split("p")
    return mantissa.rstrip("0").rstrip(".") + "p" + exponent + "f"


def main():
    values = [to_float(kernel(i / 100.0)) for i in range(301)] + [0.0]
    values[100] = -0.0
    values[200] = values[300] = values[301] = 0.0
    items = [literal(v) for v in values]
    for start in range(0, len(items), 4):
        print("    " + ", ".join(items[start:start + 4]) + ",")


if __name__ == "__main__":
    main()
