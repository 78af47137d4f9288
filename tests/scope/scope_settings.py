#!/usr/bin/env python3
"""The scope's settings record: eleven little-endian float32 values packed
with struct. Arguments: the eleven values in stored order (run, trigger,
spectrum mode, time span, gain, trigger level, refresh interval, low
frequency, high frequency, logarithmic scale, label the maximum). Prints
the 44 bytes in hex."""

import struct
import sys

values = [float(v) for v in sys.argv[1:]]
assert len(values) == 11, len(values)
print(struct.pack("<11f", *values).hex())
