#!/usr/bin/env python3
"""Write the desktop icons dist/icons/velmora2k_N.png (N x N, RGB) from
their source, dist/icons/velmora2k_source.png: the chrome "V" of "VELMORA"
on its starfield, cut square from the logo once, resampled to each size the
desktop asks for; and dist/icons/velmora2k.ico, the Windows icon holding
every size as a 32-bit BMP (blue, green, red, alpha, rows bottom-up, with an
all-zero AND mask), which Windows draws right everywhere (the title bar,
Explorer's lists) and which a party's release rewrites in place with its own
icon (images of a fixed size each).

    python3 tools/gen_icon.py [SOURCE] [OUT_DIR]

The icons keep their own source, so that the logo's lettering can be drawn
again (by the party kit) without the icons changing. The same source gives
the same bytes on every run; the outputs are committed, so a build needs no
generator.
"""
import io
import os
import struct
import sys

import numpy as np
from PIL import Image

import imgutil as iu

SIZES = (16, 32, 48, 64, 128, 256)
# The source's side: the square of the 640 x 480 logo around the "V".
SOURCE_SIDE = 96


def icon(source, size):
    return np.asarray(source.resize((size, size), Image.LANCZOS))


# Sizes from this one up would be stored as PNG; every size is below it, so
# every image is a BMP of a fixed size.
ICO_PNG_SIDE = 512
BITMAPINFOHEADER_BYTES = 40


def bmp_entry(rgb):
    """An opaque square picture as an icon's BMP image: the header (its
    height counts the colour rows and the AND mask's), the BGRA rows from the
    bottom up, then the AND mask, one bit per pixel, rows padded to 32 bits."""
    side = rgb.shape[0]
    header = struct.pack("<IiiHHIIiiII", BITMAPINFOHEADER_BYTES, side, 2 * side, 1, 32, 0, 0, 0, 0, 0, 0)
    alpha = np.full((side, side, 1), 255, np.uint8)
    bgra = np.concatenate([rgb[:, :, 2::-1], alpha], axis=2)[::-1]
    mask_row_bytes = (side + 31) // 32 * 4
    return header + bgra.tobytes() + bytes(mask_row_bytes * side)


def png_entry(rgb):
    """An opaque picture as a 32-bit RGBA PNG without ancillary chunks."""
    rgba = Image.fromarray(np.ascontiguousarray(rgb), "RGB").convert("RGBA")
    out = io.BytesIO()
    rgba.save(out, "PNG", optimize=False, compress_level=9)
    return out.getvalue()


def write_ico(pictures, path):
    """An icon file holding the square RGB pictures, in the order given."""
    images = [png_entry(p) if p.shape[0] >= ICO_PNG_SIDE else bmp_entry(p) for p in pictures]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for picture, data in zip(pictures, images):
        # A side of 256 is written as 0; 1 colour plane, 32 bits per pixel.
        side = picture.shape[0] % 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(header + entries + b"".join(images))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    source_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "dist", "icons", "velmora2k_source.png")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "dist", "icons")
    source = Image.open(source_path).convert("RGB")
    if source.size != (SOURCE_SIDE, SOURCE_SIDE):
        raise SystemExit("%s: the icon's source must be %d x %d" % (source_path, SOURCE_SIDE, SOURCE_SIDE))
    os.makedirs(out, exist_ok=True)
    pictures = [icon(source, size) for size in SIZES]
    for size, picture in zip(SIZES, pictures):
        iu.save_png(picture, os.path.join(out, "velmora2k_%d.png" % size))
    write_ico(pictures, os.path.join(out, "velmora2k.ico"))


if __name__ == "__main__":
    main()
