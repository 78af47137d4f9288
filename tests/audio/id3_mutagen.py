#!/usr/bin/python3
"""Writes ID3v2 tags with python3-mutagen and prints mutagen's own reading.

    id3_mutagen.py PATH VERSION CASE

PATH is an MP3 file that gets the tag; VERSION is 3 or 4. CASE "latin1":
Latin-1 title, artist, album, year and two comments; "utf16title": a
UTF-16 title followed by a Latin-1 artist. Prints one "field=value" line per
text frame as mutagen reads it back (the first comment only).
"""
import sys

from mutagen.id3 import COMM, ID3, TALB, TIT2, TPE1, TYER

path, version, case = sys.argv[1], int(sys.argv[2]), sys.argv[3]
tags = ID3()
if case == "latin1":
    tags.add(TIT2(encoding=0, text="Caf\xe9 Title"))
    tags.add(TPE1(encoding=0, text="The Artist"))
    tags.add(TALB(encoding=0, text="Album Name"))
    tags.add(TYER(encoding=0, text="1999"))
    tags.add(COMM(encoding=0, lang="eng", desc="", text="First comment"))
    tags.add(COMM(encoding=0, lang="eng", desc="second", text="Second comment"))
elif case == "utf16title":
    tags.add(TIT2(encoding=1, text="Wide Title"))
    tags.add(TPE1(encoding=0, text="After Wide"))
else:
    sys.exit("unknown case " + case)
# The frames stay as written: no conversion of TYER for version 4.
tags.save(path, v2_version=version, v23_sep="/")

back = ID3(path, translate=False)
print("version=%d" % back.version[1])
for frame_id, field in (("TIT2", "title"), ("TPE1", "artist"), ("TALB", "album"), ("TYER", "year")):
    if frame_id in back:
        frame = back[frame_id]
        print("%s=%s;encoding=%d" % (field, frame.text[0], frame.encoding))
comments = back.getall("COMM")
if comments:
    print("comment=%s;encoding=%d" % (comments[0].text[0], comments[0].encoding))
print("comments=%d" % len(comments))
