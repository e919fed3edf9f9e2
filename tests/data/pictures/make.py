#!/usr/bin/env python3
"""Writes the small PCX, BMP, TGA and JPEG test pictures of this folder.

Every picture is encoded by Pillow (Debian's python3-pil) from pixels made
here, and beside it the script writes what the encoder was given, top row
first, so a decoder's output can be compared pixel by pixel:
  NAME.rgb   red, green, blue bytes per pixel
  NAME.rgba  red, green, blue, alpha bytes per pixel
  NAME.idx   one palette index per pixel
  NAME.pal   the 768-byte palette (red, green, blue) of an indexed picture
Pillow writes bottom-up bitmaps only; the top-down ones are those files with
their rows put in file order top first and the height negated, the one
change a top-down writer makes.

Run it with the system interpreter (/usr/bin/python3 has Pillow); the output
is deterministic and committed.
"""
import os
import struct
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))


def pattern(width, height, channels, seed):
    """Pixels with flat stretches (runs) and noise (literals, values of 192
    and above among them), deterministic."""
    state = seed
    out = bytearray()
    for y in range(height):
        for x in range(width):
            for c in range(channels):
                if (x // 4 + y) % 3 == 0:
                    out.append((40 * c + 7 * y + 200) & 0xFF)
                else:
                    state = (state * 1103515245 + 12345) & 0x7FFFFFFF
                    out.append((state >> 16) & 0xFF)
    return bytes(out)


def palette(seed):
    return bytes((i * 7 + seed * c * 31 + c * 85) & 0xFF for i in range(256) for c in range(3))


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def save_rgb(stem, ext, width, height, seed, **options):
    pixels = pattern(width, height, 3, seed)
    Image.frombytes("RGB", (width, height), pixels).save(os.path.join(HERE, stem + ext), **options)
    write(stem + ".rgb", pixels)


def save_rgba(stem, ext, width, height, seed, **options):
    pixels = pattern(width, height, 4, seed)
    Image.frombytes("RGBA", (width, height), pixels).save(os.path.join(HERE, stem + ext), **options)
    write(stem + ".rgba", pixels)


def save_indexed(stem, ext, width, height, seed, **options):
    indices = pattern(width, height, 1, seed)
    colours = palette(seed)
    image = Image.frombytes("P", (width, height), indices)
    image.putpalette(colours)
    image.save(os.path.join(HERE, stem + ext), **options)
    write(stem + ".idx", indices)
    write(stem + ".pal", colours)


def bmp_top_down(source, target, expected_ext):
    """The bottom-up bitmap source rewritten top-down as target."""
    with open(os.path.join(HERE, source), "rb") as f:
        data = bytearray(f.read())
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    stride = (width * bits + 31) // 32 * 4
    rows = [data[offset + i * stride:offset + (i + 1) * stride] for i in range(height)]
    struct.pack_into("<i", data, 22, -height)
    data[offset:offset + stride * height] = b"".join(reversed(rows))
    write(target, bytes(data))
    stem = os.path.splitext(source)[0]
    with open(os.path.join(HERE, stem + expected_ext), "rb") as f:
        write(os.path.splitext(target)[0] + expected_ext, f.read())
    if expected_ext == ".idx":
        with open(os.path.join(HERE, stem + ".pal"), "rb") as f:
            write(os.path.splitext(target)[0] + ".pal", f.read())


def main():
    # PCX: Pillow pads each row to an even byte count, so odd widths give
    # rows longer than the picture.
    save_indexed("pcx8_13x7", ".pcx", 13, 7, 1)
    save_indexed("pcx8_16x5", ".pcx", 16, 5, 2)
    save_rgb("pcx24_13x7", ".pcx", 13, 7, 3)
    save_rgb("pcx24_16x5", ".pcx", 16, 5, 4)

    # BMP: 13 pixels need row padding at 8 and at 24 bits; 16 at 24 bits not.
    save_indexed("bmp8_13x7", ".bmp", 13, 7, 5)
    save_rgb("bmp24_13x7", ".bmp", 13, 7, 6)
    save_rgb("bmp24_16x5", ".bmp", 16, 5, 7)
    bmp_top_down("bmp8_13x7.bmp", "bmp8_13x7_top.bmp", ".idx")
    bmp_top_down("bmp24_13x7.bmp", "bmp24_13x7_top.bmp", ".rgb")

    # TGA: both origins, identification fields, run-length twins, and a
    # colour-mapped file whose map lies before the pixels.
    save_rgb("tga24_13x7_bottom", ".tga", 13, 7, 8, id_section=b"bottom-left origin")
    save_rgb("tga24_13x7_top", ".tga", 13, 7, 9, orientation=1)
    save_rgba("tga32_13x7_bottom", ".tga", 13, 7, 10)
    save_rgba("tga32_13x7_top", ".tga", 13, 7, 11, orientation=1, id_section=b"top-left origin, alpha")
    save_rgb("tga24_13x7_rle", ".tga", 13, 7, 12, compression="tga_rle", id_section=b"runs")
    save_rgba("tga32_13x7_rle_top", ".tga", 13, 7, 13, compression="tga_rle", orientation=1)
    save_indexed("tga8_13x7_mapped", ".tga", 13, 7, 14, id_section=b"map")

    # JPEG seeds for the fuzz target (the decoder tests encode their own).
    Image.frombytes("RGB", (16, 8), pattern(16, 8, 3, 15)).save(os.path.join(HERE, "colour_16x8.jpg"), quality=90)
    Image.frombytes("L", (9, 5), pattern(9, 5, 1, 16)).save(os.path.join(HERE, "grey_9x5.jpg"), quality=90)
    Image.frombytes("RGB", (16, 16), pattern(16, 16, 3, 17)).save(
        os.path.join(HERE, "progressive_16x16.jpg"), quality=75, progressive=True)
    Image.frombytes("CMYK", (8, 8), pattern(8, 8, 4, 18)).save(os.path.join(HERE, "cmyk_8x8.jpg"), quality=90)
    return 0


if __name__ == "__main__":
    sys.exit(main())
