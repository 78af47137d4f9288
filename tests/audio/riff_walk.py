#!/usr/bin/env python3
"""An independent RIFF walker: checks the RIFF size, walks the chunks with
their pad bytes to the exact end of the file, and prints one line per chunk:
"<id> <size>". Exits with 1 on any inconsistency.

    riff_walk.py PATH
"""
import struct
import sys

data = open(sys.argv[1], "rb").read()
if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
    sys.exit("not RIFF/WAVE")
(riff_size,) = struct.unpack_from("<I", data, 4)
if riff_size != len(data) - 8:
    sys.exit("RIFF size %d, file size %d" % (riff_size, len(data)))
at = 12
while at < len(data):
    if at + 8 > len(data):
        sys.exit("cut header at %d" % at)
    chunk_id = data[at:at + 4].decode("latin-1")
    (size,) = struct.unpack_from("<I", data, at + 4)
    end = at + 8 + size + (size & 1)
    if end > len(data):
        sys.exit("chunk %r runs past the end" % chunk_id)
    if size & 1 and data[end - 1] != 0:
        sys.exit("pad byte of %r is not zero" % chunk_id)
    print("%s %d" % (chunk_id, size))
    at = end
