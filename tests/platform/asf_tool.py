#!/usr/bin/python3
"""A second view of ASF files for the attribute tests, through mutagen and a
small walker of the header objects.

  asf_tool.py set FILE NAME TEXT          set a text attribute (all of NAME's values)
  asf_tool.py set-bytes FILE NAME INPUT   set a byte-array attribute from a file
  asf_tool.py get-bytes FILE NAME OUTPUT  write NAME's first value (bytes) to a file
  asf_tool.py names FILE                  print the attribute names, one a line
  asf_tool.py library FILE                print the names stored in the Metadata Library object
"""
import struct
import sys
import uuid

from mutagen.asf import ASF, ASFByteArrayAttribute, ASFUnicodeAttribute

HEADER = uuid.UUID("75B22630-668E-11CF-A6D9-00AA0062CE6C")
EXTENSION = uuid.UUID("5FBF03B5-A92E-11CF-8EE3-00C00C205365")
LIBRARY = uuid.UUID("44231C94-9498-49D1-A141-1D134E457054")


def objects(data, start, end):
    """(guid, body start, object end) of each object in data[start:end]."""
    while start + 24 <= end:
        guid = uuid.UUID(bytes_le=data[start:start + 16])
        size = struct.unpack_from("<Q", data, start + 16)[0]
        if size < 24 or start + size > end:
            raise ValueError("bad object size")
        yield guid, start + 24, start + size
        start += size


def library_names(path):
    data = open(path, "rb").read()
    guid, body, end = next(objects(data, 0, len(data)))
    assert guid == HEADER
    names = []
    for guid, start, stop in objects(data, body + 6, end):
        if guid != EXTENSION:
            continue
        for inner, istart, istop in objects(data, start + 22, stop):
            if inner != LIBRARY:
                continue
            count = struct.unpack_from("<H", data, istart)[0]
            pos = istart + 2
            for _ in range(count):
                _lang, _stream, name_len, _type, data_len = struct.unpack_from("<HHHHI", data, pos)
                pos += 12
                names.append(data[pos:pos + name_len].decode("utf-16-le").rstrip("\0"))
                pos += name_len + data_len
    return names


def main(argv):
    command, path = argv[1], argv[2]
    if command == "set":
        f = ASF(path)
        f[argv[3]] = [ASFUnicodeAttribute(argv[4])]
        f.save()
    elif command == "set-bytes":
        f = ASF(path)
        f[argv[3]] = [ASFByteArrayAttribute(open(argv[4], "rb").read())]
        f.save()
    elif command == "get-bytes":
        f = ASF(path)
        open(argv[4], "wb").write(f[argv[3]][0].value)
    elif command == "names":
        for name in sorted(ASF(path).tags.keys()):
            print(name)
    elif command == "library":
        for name in library_names(path):
            print(name)
    else:
        raise SystemExit("unknown command " + command)


if __name__ == "__main__":
    main(sys.argv)
