#!/usr/bin/env python3
"""Reads the beat mapper's exported beat-map picture with Pillow.

    export_check.py PNG MAP_WIDTH MAP_HEIGHT

Prints its width and height; "opaque" when every pixel of the part the
map's own picture covers (the top-left MAP_WIDTH x MAP_HEIGHT) is opaque,
else "holes"; then "x y" for each pixel below that part that is not fully
transparent. Exits with 1 when the picture is not RGBA or a pixel right of
the map's part is not transparent.
"""
import sys

import numpy as np
from PIL import Image

path, map_width, map_height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
image = Image.open(path)
if image.mode != "RGBA":
    print("mode %s" % image.mode)
    sys.exit(1)
alpha = np.asarray(image, dtype=np.int32)[:, :, 3]
height, width = alpha.shape
print(width, height)
print("opaque" if (alpha[:map_height, :map_width] == 255).all() else "holes")
if width > map_width and (alpha[:map_height, map_width:] != 0).any():
    print("pixels right of the map")
    sys.exit(1)
for y, x in zip(*np.nonzero(alpha[map_height:, :])):
    print(x, y + map_height)
