#!/usr/bin/env python3
"""Write the desktop icons dist/icons/velmora2k_N.png (N x N, RGB) from the
logo: the chrome "V" of "VELMORA" on its starfield, cut square from
data/logo.png and resampled to each size the desktop asks for; and
dist/icons/velmora2k.ico, the Windows icon holding every size, each as its
PNG (the form Windows reads since Vista).

    python3 tools/gen_icon.py [LOGO] [OUT_DIR]

The same logo gives the same bytes on every run; the outputs are committed,
so a build needs no generator. Run it again after changing the logo.
"""
import os
import struct
import sys

import numpy as np
from PIL import Image

import imgutil as iu

SIZES = (16, 32, 48, 64, 128, 256)
# The square of the 640 x 480 logo around the "V" (left, top, side).
V_BOX = (44, 114, 96)


def icon(logo, size):
    x, y, side = V_BOX
    square = logo.crop((x, y, x + side, y + side))
    return np.asarray(square.resize((size, size), Image.LANCZOS))


def write_ico(png_paths, path):
    """An icon file whose images are the PNG files, in the order given."""
    images = [open(p, "rb").read() for p in png_paths]
    sizes = [Image.open(p).size for p in png_paths]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for (w, h), data in zip(sizes, images):
        # A side of 256 is written as 0; 1 colour plane, 32 bits per pixel.
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(header + entries + b"".join(images))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    logo_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "data", "logo.png")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "dist", "icons")
    logo = Image.open(logo_path).convert("RGB")
    if logo.size != (640, 480):
        raise SystemExit("%s: the logo must be 640 x 480" % logo_path)
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        iu.save_png(icon(logo, size), os.path.join(out, "velmora2k_%d.png" % size))
    write_ico([os.path.join(out, "velmora2k_%d.png" % size) for size in SIZES],
              os.path.join(out, "velmora2k.ico"))


if __name__ == "__main__":
    main()
