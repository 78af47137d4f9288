#!/usr/bin/env python3
"""The seven settings records with their defaults, packed little-endian
with struct from the records' tables (texts empty, every byte after a
text's terminator zero). Prints one line per record: <value name> <hex>."""

import struct

RECORDS = [
    # StartUp: knee %, filter order, overlap ms, reserved, refreshes/s,
    # output type, device name, latency ms
    ("StartUp", "<fififi128sf", (75.0, 2, 10.0, 0, 20.0, 0, b"", 50.0)),
    # StartUp2: database path, exit on load
    ("StartUp2", "<512si", (b"", 1)),
    # StartUp3: second output on, its type, its device, its latency,
    # MIDI clock on, MIDI output device
    ("StartUp3", "<ii128sfi128s", (0, 0, b"", 50.0, 0, b"")),
    # StartUp4: MIDI in on, its device, ten controller numbers
    ("StartUp4", "<i128s10i", (0, b"") + tuple(range(20, 30))),
    # StartUp5: overlays shown
    ("StartUp5", "<i", (1,)),
    # StartUp6: PMD in use, sliders move the effects, eight minima, eight maxima
    ("StartUp6", "<ii8f8f", (0, 0) + (1030.0,) * 8 + (1540.0,) * 8),
    # StartUp7: four root directories
    ("StartUp7", "<512s512s512s512s", (b"", b"", b"", b"")),
]

SIZES = {"StartUp": 156, "StartUp2": 516, "StartUp3": 272, "StartUp4": 172, "StartUp5": 4, "StartUp6": 72,
         "StartUp7": 2048}

for name, layout, values in RECORDS:
    packed = struct.pack(layout, *values)
    assert len(packed) == SIZES[name], (name, len(packed))
    print(name, packed.hex())
