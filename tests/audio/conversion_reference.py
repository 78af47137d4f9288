#!/usr/bin/env python3
"""Expected output samples of the devices' float-to-integer conversion,
computed in NumPy float32: the product sample x scale is rounded to float32
(as the conversion multiplies in float), clamped to the width's integer
limits (NaN gives 0), then truncated toward zero.

Prints one line per case: width, the input's float32 bits in hex, the
expected integer, and the little-endian bytes of the output sample. The
output is committed as conversion_reference.txt; the conversion test reads
it and checks that this script still prints it."""

import math

import numpy as np

SCALES = {16: 32767, 24: 8388607, 32: 2147483647}

# (bits, why the row is there)
INPUTS = [
    (0x3F800000, "1.0"),
    (0xBF800000, "-1.0"),
    (int(np.float32(0.99999).view(np.uint32)), "0.99999: truncation, not rounding"),
    (int(np.float32(-0.99999).view(np.uint32)), "-0.99999"),
    (0x3F7FFFFF, "largest float below 1.0"),
    (0xBF7FFFFF, "its negative"),
    (0x3FC00000, "1.5 clamps"),
    (0xBFC00000, "-1.5 clamps"),
    (0x7F800000, "+inf clamps"),
    (0xFF800000, "-inf clamps"),
    (0x7FC00000, "NaN gives 0"),
    (0xFFC00001, "negative NaN gives 0"),
    (0x80000000, "-0.0"),
    (int(np.float32(1e-30).view(np.uint32)), "1e-30"),
    (0x3ED81DB0, "a double product truncates differently at 16 bits"),
    (0x3F13ACED, "a double product truncates differently at 24 bits"),
    (0x3F000000, "0.5"),
    (0xBF000000, "-0.5"),
    (int(np.float32(1.0 / 32767.0).view(np.uint32)), "one step at 16 bits"),
    (int(np.float32(-1.0 / 32767.0).view(np.uint32)), "minus one step at 16 bits"),
]

# Pseudo-random in-range samples for the interleaving rows.
rng = np.random.default_rng(20240917)
INPUTS += [(int(v), "random") for v in rng.uniform(-1.0, 1.0, 24).astype(np.float32).view(np.uint32)]


def convert(bits_of_input, width):
    sample = np.array([bits_of_input], dtype=np.uint32).view(np.float32)[0]
    product = float(np.float32(sample) * np.float32(SCALES[width]))  # float32 product
    low, high = -(2 ** (width - 1)), 2 ** (width - 1) - 1
    if math.isnan(product):
        return 0
    if product >= high:
        return high
    if product <= low:
        return low
    return math.trunc(product)


def check(width, bits, expected):
    got = convert(bits, width)
    assert got == expected, (width, hex(bits), got, expected)


# The cases the conversion must get right whatever this table says.
check(16, 0x3F800000, 32767)
check(16, 0xBF800000, -32767)
check(16, int(np.float32(0.99999).view(np.uint32)), 32766)
check(16, 0x3F7FFFFF, 32766)
check(24, 0x3F7FFFFF, 8388606)
check(32, 0x3F7FFFFF, 2147483520)
check(32, 0x3F800000, 2147483647)
check(16, 0x3ED81DB0, 13831)
check(24, 0x3F13ACED, 4839030)
for width in SCALES:
    for bits in (0x7FC00000, 0x80000000, int(np.float32(1e-30).view(np.uint32))):
        check(width, bits, 0)
# A double product really would truncate differently on these rows.
assert math.trunc(float(np.array([0x3ED81DB0], np.uint32).view(np.float32)[0]) * 32767.0) == 13830
assert math.trunc(float(np.array([0x3F13ACED], np.uint32).view(np.float32)[0]) * 8388607.0) == 4839029

for width in (16, 24, 32):
    for bits, _ in INPUTS:
        value = convert(bits, width)
        raw = (value & ((1 << width) - 1)).to_bytes(width // 8, "little")
        print("%d %08X %d %s" % (width, bits, value, raw.hex()))
