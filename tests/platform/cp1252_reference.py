#!/usr/bin/env python3
"""Prints Python's cp1252 decoding of every byte: "<byte> <code point>" or
"<byte> undefined" for the bytes the code page leaves out."""

for byte in range(256):
    try:
        print(byte, ord(bytes([byte]).decode("cp1252")))
    except UnicodeDecodeError:
        print(byte, "undefined")
