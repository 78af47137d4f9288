#!/usr/bin/python3
"""An independent writer and reader of the track database's cache file
(info.zlt), with the standard library only.

    zlt_oracle.py write RECORDS.json OUT   write the records (a JSON list)
    zlt_oracle.py read FILE                print each record, then the end
    zlt_oracle.py filetime PATH            the file's last write time
    zlt_oracle.py fixtures DIR             write the fixture files below

A record in JSON: {"analyzed": int, "tempo": float, "title": hex,
"artist": hex, "comments": hex, "name": hex, "time": int}; texts are the
bytes as hex, so bytes from 0x80 up pass unchanged. "read" prints one line
per record: analyzed, the tempo's 32 bits in hex, the four texts in hex and
the time, separated by blanks ("-" for an empty text), then "end".
"""
import datetime
import json
import os
import struct
import sys

SIGNATURE = b"\x89ZLT\r\n\x1a\n"
VERSION = 0
TEXT_LIMIT = 1024  # bytes stored with the zero
FILETIME_EPOCH = datetime.datetime(1601, 1, 1, tzinfo=datetime.timezone.utc)


def text_field(raw):
    raw = raw.split(b"\0", 1)[0][:TEXT_LIMIT - 1] + b"\0"
    return struct.pack("<i", len(raw)) + raw


def encode(records):
    out = bytearray(SIGNATURE + struct.pack("<i", VERSION))
    for r in records:
        out += struct.pack("<if", 1 if r["analyzed"] else 0, r["tempo"])
        for key in ("title", "artist", "comments", "name"):
            out += text_field(bytes.fromhex(r[key]))
        out += struct.pack("<Q", r["time"])
    return bytes(out)


def decode(data):
    if data[:8] != SIGNATURE:
        raise ValueError("signature")
    if len(data) < 12 or struct.unpack_from("<i", data, 8)[0] != VERSION:
        raise ValueError("version")
    at = 12
    records = []
    while at < len(data):
        analyzed, tempo_bits = struct.unpack_from("<iI", data, at)
        at += 8
        texts = []
        for _ in range(4):
            (n,) = struct.unpack_from("<i", data, at)
            at += 4
            if not 1 <= n <= TEXT_LIMIT:
                raise ValueError("length")
            texts.append(data[at:at + n - 1].split(b"\0", 1)[0])
            at += n
        (time,) = struct.unpack_from("<Q", data, at)
        at += 8
        records.append((analyzed, tempo_bits, texts, time))
    return records


def filetime(path):
    """The last write time as FILETIME, through datetime (not st_mtime_ns
    arithmetic): whole microseconds from the calendar, the 100-ns digit from
    the nanoseconds."""
    ns = os.stat(path).st_mtime_ns
    moment = datetime.datetime.fromtimestamp(ns // 1000000000, tz=datetime.timezone.utc)
    delta = moment - FILETIME_EPOCH
    ticks = (delta.days * 86400 + delta.seconds) * 10000000
    return ticks + (ns % 1000000000) // 100


def record(name, analyzed=0, tempo=0.0, title=b"", artist=b"", comments=b"", time=0):
    return {"analyzed": analyzed, "tempo": tempo, "title": title.hex(), "artist": artist.hex(),
            "comments": comments.hex(), "name": name.hex(), "time": time}


def fixtures():
    """Small files of every kind of record, for seeds and format checks."""
    return {
        "empty.zlt": [],
        "not-analyzed.zlt": [record(b"/music/a.wav", time=132000000000000000)],
        "tagged.zlt": [
            record(b"/music/a.wav", 1, 120.5, b"Title", b"Artist", b"Hard rock", 132000000000000001),
            record(b"/music/b/c.mp3", 1, 98.25, b"", b"Someone", b"", 0xFFFFFFFFFFFFFFFF),
            record(b"/music/d.wav", 0, 0.0, time=1),
        ],
        "long-title.zlt": [record(b"/m/x.wav", 1, 140.0, b"t" * 2000, time=5)],
        "high-bytes.zlt": [record(b"/m/\xe9t\xe9.wav", 1, 100.0, b"\x80\xff\xfe", b"\xc3\xa9", b"\x7f", time=7)],
    }


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "write" and len(sys.argv) == 4:
        with open(sys.argv[2]) as f:
            records = json.load(f)
        with open(sys.argv[3], "wb") as f:
            f.write(encode(records))
    elif command == "read" and len(sys.argv) == 3:
        with open(sys.argv[2], "rb") as f:
            for analyzed, tempo_bits, texts, time in decode(f.read()):
                fields = [str(analyzed), "%08x" % tempo_bits] + [t.hex() or "-" for t in texts] + [str(time)]
                print(" ".join(fields))
        print("end")
    elif command == "filetime" and len(sys.argv) == 3:
        print(filetime(sys.argv[2]))
    elif command == "fixtures" and len(sys.argv) == 3:
        os.makedirs(sys.argv[2], exist_ok=True)
        for name, records in fixtures().items():
            with open(os.path.join(sys.argv[2], name), "wb") as f:
                f.write(encode(records))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
