#!/usr/bin/env python3
"""Checks a song overview picture against the beats it was drawn from, read
with Pillow and computed here in float32 as the picture is laid out.

    overview_check.py PNG BAR_STEP NOTICE POSITION...

Prints one line per finding and exits with 1 on any; prints "ok" otherwise.
"""
import sys

import numpy as np
from PIL import Image

path, bar_step, notice = sys.argv[1], int(sys.argv[2]), sys.argv[3] == "1"
positions = [int(p) for p in sys.argv[4:]]
problems = []

span = positions[-1] - positions[0]
width = span // 2205
per_pixel = np.float32(span) / np.float32(width)
expected = []
bar = 1
while True:
    index = (bar - 1) * bar_step
    x = int(np.float32(positions[index] - positions[0]) / per_pixel)
    expected.append(min(x, width - 1))
    if index + bar_step >= len(positions) - 1:
        break
    bar += 1

image = Image.open(path)
if image.mode != "RGBA":
    problems.append("mode %s" % image.mode)
if image.size != (width, 60):
    problems.append("size %r, expected %r" % (image.size, (width, 60)))
else:
    pixels = np.asarray(image.convert("RGBA"), dtype=np.int32)
    # Rows 0..9 and 30..39 lie clear of the notice and of the numbers.
    clear = np.concatenate([pixels[0:10], pixels[30:40]])
    white = [x for x in range(width) if (clear[:, x] == 255).all()]
    if white != sorted(set(expected)):
        problems.append("white columns %r, expected %r" % (white, sorted(set(expected))))
    fill = np.array([150, 150, 255, 255])
    # Rows 0..9 hold neither notice nor numbers: only fill and bar lines.
    for x in range(width):
        if x in white:
            continue
        if not (pixels[0:10, x] == fill).all():
            problems.append("column %d is not filled at the top" % x)
            break
    black = (pixels[:, :, 0:3] == 0).all(axis=2) & (pixels[:, :, 3] == 255)
    if notice != bool(black[10:30].any()):
        problems.append("notice drawn: %s, expected %s" % (bool(black.any()), notice))
    if black[:10].any() or black[30:].any():
        problems.append("black pixels outside the notice's rows")
    # Each bar's number is white on the fill right of its line, rows 40..59.
    for number, x in enumerate(expected, start=1):
        # Only whole characters are drawn; the font's digits are under 10 wide.
        if x + 5 + 10 * len(str(number)) > width:
            continue
        region = pixels[40:60, x + 5:min(x + 5 + 8 * len(str(number)), width)]
        if not (region[:, :, 0:3] == 255).all(axis=2).any():
            problems.append("no number at bar %d" % number)

for problem in problems:
    print(problem)
if problems:
    sys.exit(1)
print("ok")
