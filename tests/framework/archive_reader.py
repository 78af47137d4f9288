#!/usr/bin/env python3
"""Reads a resource archive with nothing but struct, independently of the
program's reader, and prints one line per entry: name, offset, length and
the SHA-256 of its bytes. Exits with 1 when the archive is inconsistent."""

import hashlib
import struct
import sys

data = open(sys.argv[1], "rb").read()
(count,) = struct.unpack_from("<I", data, 0)
at = 4
entries = []
for _ in range(count):
    end = data.index(b"\0", at)
    name = data[at:end].decode("utf-8")
    offset, length = struct.unpack_from("<II", data, end + 1)
    entries.append((name, offset, length))
    at = end + 9
names = [name for name, _, _ in entries]
if names != sorted(names, key=lambda n: n.encode("utf-8")):
    sys.exit("entries are not sorted by name bytes")
expected_offset = 0
for name, offset, length in entries:
    if offset != expected_offset or at + offset + length > len(data):
        sys.exit("entry %s is not where it belongs" % name)
    expected_offset += length
if at + expected_offset != len(data):
    sys.exit("bytes after the last entry")
for name, offset, length in entries:
    blob = data[at + offset : at + offset + length]
    print(name, offset, length, hashlib.sha256(blob).hexdigest())
