#!/usr/bin/env python3
"""Beat meta-data golden file, made and checked without the program's code.

    qrt_golden.py make PATH    writes the golden file holding every chunk
    qrt_golden.py check PATH   reads it back and checks every value and CRC

Other scripts import qrt_bytes and text to write files of their own records.
"""
import struct
import sys
import zlib

SIGNATURE = b"\x89QRT\r\n\x1a\n"

BEATS = [(-3000, 1), (1000, 0), (23050, 1), (45100, 0), (67150, 1)]
TEMPO = 123.5
TEMPO_FIXED_2 = 0
STRIP = (2, 3, 4, 5)
STRIP_2 = (6, 7)
STRIP_3 = 1
TITLE = "T" * 126 + "z"  # 127 characters, the longest a 128-byte field holds
TEXTS = [TITLE, "Artist", "Album", "Comment", "2024"]
TAG_BPM = 128.25
LABEL = "L" * 127
KEY = (9, 1)  # A minor
SAMPLES_PER_LEVEL = 153
LEVEL_BYTES = [0, 128, 255, 64, 1]
VALUES = [7, -1, 100000]
FRAMES = [0, 417, 835, 1253]


def text(value):
    return value.encode("latin-1").ljust(128, b"\0")


def chunks():
    beats = struct.pack("<ii", 44100, len(BEATS)) + b"".join(struct.pack("<ii", p, g) for p, g in BEATS)
    levels = bytes(LEVEL_BYTES).ljust((len(LEVEL_BYTES) + 3) // 4 * 4, b"\0")
    points = struct.pack("<ii", SAMPLES_PER_LEVEL, len(LEVEL_BYTES)) + levels
    points += struct.pack("<i", len(VALUES)) + b"".join(struct.pack("<i", v) for v in VALUES)
    return [
        ("Markers Beat", beats),
        ("BT Tempo Fixed", struct.pack("<f", TEMPO)),
        ("BT Tempo Fixed 2", struct.pack("<i", TEMPO_FIXED_2)),
        ("BT Strip", struct.pack("<4i", *STRIP)),
        ("BT Strip 2", struct.pack("<2i", *STRIP_2)),
        ("BT Strip 3", struct.pack("<i", STRIP_3)),
        ("ID", b"".join(text(t) for t in TEXTS) + struct.pack("<f", TAG_BPM)),
        ("ID 2", text(LABEL)),
        ("Key", struct.pack("<ii", *KEY)),
        ("Points", points),
        ("MP3 Frames", struct.pack("<i", len(FRAMES) - 1) + b"".join(struct.pack("<i", f) for f in FRAMES)),
        ("End", b""),
    ]


def qrt_bytes(chunk_list):
    """The file of (name, data) chunks: signature, each chunk with its
    length, 32-byte name and CRC; the list ends with "End"."""
    out = bytearray(SIGNATURE)
    for name, data in chunk_list:
        name_field = name.encode("ascii").ljust(32, b"\0")
        out += struct.pack("<i", len(data)) + name_field + data
        out += struct.pack("<I", zlib.crc32(name_field + data) & 0xFFFFFFFF)
    return bytes(out)


def make(path):
    with open(path, "wb") as f:
        f.write(qrt_bytes(chunks()))


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def check(path):
    data = open(path, "rb").read()
    if data[:8] != SIGNATURE:
        fail("signature")
    at = 8
    found = {}
    while True:
        (length,) = struct.unpack_from("<i", data, at)
        name_field = data[at + 4:at + 36]
        name = name_field.split(b"\0")[0].decode("ascii")
        body = data[at + 36:at + 36 + length]
        (crc,) = struct.unpack_from("<I", data, at + 36 + length)
        if crc != zlib.crc32(name_field + body) & 0xFFFFFFFF:
            fail("CRC of " + name)
        found[name] = body
        at += 40 + length
        if name == "End":
            break
    if at != len(data):
        fail("bytes after End")
    rate, n = struct.unpack_from("<ii", found["Markers Beat"])
    beats = [struct.unpack_from("<ii", found["Markers Beat"], 8 + 8 * i) for i in range(n)]
    if rate != 44100 or beats != BEATS:
        fail("beats %r" % beats)
    if struct.unpack("<f", found["BT Tempo Fixed"])[0] != TEMPO:
        fail("tempo")
    if struct.unpack("<i", found["BT Tempo Fixed 2"])[0] != TEMPO_FIXED_2:
        fail("tempo fixed 2")
    if struct.unpack("<4i", found["BT Strip"]) != STRIP or struct.unpack("<2i", found["BT Strip 2"]) != STRIP_2:
        fail("strip")
    if struct.unpack("<i", found["BT Strip 3"])[0] != STRIP_3:
        fail("strip 3")
    tags = found["ID"]
    texts = [tags[128 * i:128 * (i + 1)].split(b"\0")[0].decode("latin-1") for i in range(5)]
    if texts != TEXTS or struct.unpack_from("<f", tags, 640)[0] != TAG_BPM:
        fail("tags %r" % texts)
    if found["ID 2"].split(b"\0")[0].decode("latin-1") != LABEL:
        fail("label")
    if struct.unpack("<ii", found["Key"]) != KEY:
        fail("key")
    points = found["Points"]
    spl, m = struct.unpack_from("<ii", points)
    levels = list(points[8:8 + m])
    values_at = 8 + (m + 3) // 4 * 4
    (v,) = struct.unpack_from("<i", points, values_at)
    values = [struct.unpack_from("<i", points, values_at + 4 + 4 * i)[0] for i in range(v)]
    if spl != SAMPLES_PER_LEVEL or levels != LEVEL_BYTES or values != VALUES or values_at != 16:
        fail("points")
    (k,) = struct.unpack_from("<i", found["MP3 Frames"])
    frames = [struct.unpack_from("<i", found["MP3 Frames"], 4 + 4 * i)[0] for i in range(k + 1)]
    if frames != FRAMES:
        fail("frames")
    print("golden ok: %d chunks, %d bytes" % (len(found), len(data)))


if __name__ == "__main__":
    {"make": make, "check": check}[sys.argv[1]](sys.argv[2])
