#!/usr/bin/env python3
"""The seven settings records with their defaults, packed little-endian
with struct from the records' tables (texts empty, every byte after a
text's terminator zero). Without arguments: prints one line per record,
<value name> <hex>.

With "decode <value name> <hex>": unpacks a stored record by the same
table and prints one line per field, <field>=<value> (texts up to their
terminator, numbers as Python prints them, arrays joined by commas). A
record of the wrong size, or a text with bytes after its terminator, is
an error (exit status 1)."""

import struct
import sys

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

# Field names and how many packed values each takes, in the layouts' order.
FIELDS = {
    "StartUp": [("crossfadeKnee", 1), ("filterOrder", 1), ("overlapMs", 1), ("reserved", 1), ("refreshRate", 1),
                ("outputType", 1), ("outputDevice", 1), ("latencyMs", 1)],
    "StartUp2": [("databasePath", 1), ("exitOnLoad", 1)],
    "StartUp3": [("secondOutputOn", 1), ("secondOutputType", 1), ("secondOutputDevice", 1),
                 ("secondLatencyMs", 1), ("midiClockOn", 1), ("midiOutputDevice", 1)],
    "StartUp4": [("midiInOn", 1), ("midiInputDevice", 1), ("controllerNumbers", 10)],
    "StartUp5": [("overlaysShown", 1)],
    "StartUp6": [("pmdInUse", 1), ("slidersControlEffects", 1), ("calibrationMinimum", 8),
                 ("calibrationMaximum", 8)],
    "StartUp7": [("root0", 1), ("root1", 1), ("root2", 1), ("root3", 1)],
}


def show(value):
    if isinstance(value, bytes):
        text, _, tail = value.partition(b"\0")
        if tail.strip(b"\0"):
            raise SystemExit("bytes after a text's terminator")
        return text.decode("latin-1")
    return repr(value)


def decode(name, hexed):
    layout = dict((n, l) for n, l, _ in RECORDS)[name]
    data = bytes.fromhex(hexed)
    if len(data) != SIZES[name]:
        raise SystemExit("%s is %d bytes, not %d" % (name, len(data), SIZES[name]))
    values = list(struct.unpack(layout, data))
    for field, count in FIELDS[name]:
        taken, values = values[:count], values[count:]
        print("%s=%s" % (field, ",".join(show(v) for v in taken)))


if len(sys.argv) == 4 and sys.argv[1] == "decode":
    decode(sys.argv[2], sys.argv[3])
else:
    for name, layout, values in RECORDS:
        packed = struct.pack(layout, *values)
        assert len(packed) == SIZES[name], (name, len(packed))
        print(name, packed.hex())
