#!/usr/bin/env python3
"""Convert an 8 x 8 console font (PSF1 or PSF2, optionally gzipped) into
short.fnt: 128 glyphs of 8 bytes, glyph of code c at bytes 8c .. 8c+7,
one byte per row from the top, bit 7 the leftmost pixel.

Codes 32 .. 126 take the glyph that the font's Unicode table gives for
that code point (the glyph order of a console font need not be ASCII).
Control codes and 127 stay blank, and so does the space.
"""
import gzip
import os
import struct
import sys

PSF1_MAGIC = b"\x36\x04"
PSF2_MAGIC = b"\x72\xb5\x4a\x86"
PSF1_MODE512 = 0x01
PSF1_MODEHASTAB = 0x02
PSF2_HAS_UNICODE_TABLE = 0x01

DEFAULT_FONT = "/usr/share/consolefonts/Lat15-VGA8.psf.gz"


class PsfFont:
    def __init__(self, width, height, glyphs, unicode_map):
        self.width = width
        self.height = height
        self.glyphs = glyphs              # list of bytes, one entry per glyph
        self.unicode_map = unicode_map    # code point -> glyph index

    def glyph_for(self, codepoint):
        idx = self.unicode_map.get(codepoint)
        if idx is None:
            return None
        return self.glyphs[idx]


def _parse_psf1(data):
    mode, charsize = data[2], data[3]
    count = 512 if mode & PSF1_MODE512 else 256
    body = 4
    glyphs = [data[body + i * charsize: body + (i + 1) * charsize]
              for i in range(count)]
    if len(glyphs[-1]) != charsize:
        raise ValueError("truncated PSF1 glyph data")
    umap = {}
    if mode & PSF1_MODEHASTAB:
        pos = body + count * charsize
        for idx in range(count):
            in_sequence = False
            while True:
                if pos + 2 > len(data):
                    raise ValueError("truncated PSF1 unicode table")
                (cp,) = struct.unpack_from("<H", data, pos)
                pos += 2
                if cp == 0xFFFF:
                    break
                if cp == 0xFFFE:
                    in_sequence = True
                elif not in_sequence:
                    umap.setdefault(cp, idx)
    else:
        umap = {i: i for i in range(count)}
    return PsfFont(8, charsize, glyphs, umap)


def _parse_psf2(data):
    (_magic, _version, hdrsize, flags, length, charsize, height,
     width) = struct.unpack_from("<4sIIIIIII", data, 0)
    glyphs = [data[hdrsize + i * charsize: hdrsize + (i + 1) * charsize]
              for i in range(length)]
    if len(glyphs[-1]) != charsize:
        raise ValueError("truncated PSF2 glyph data")
    umap = {}
    if flags & PSF2_HAS_UNICODE_TABLE:
        pos = hdrsize + length * charsize
        for idx in range(length):
            end = data.index(b"\xff", pos)
            entry = data[pos:end]
            pos = end + 1
            single = entry.split(b"\xfe", 1)[0]
            for ch in single.decode("utf-8", errors="ignore"):
                umap.setdefault(ord(ch), idx)
    else:
        umap = {i: i for i in range(length)}
    return PsfFont(width, height, glyphs, umap)


def parse_psf(data):
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    if data[:2] == PSF1_MAGIC:
        return _parse_psf1(data)
    if data[:4] == PSF2_MAGIC:
        return _parse_psf2(data)
    raise ValueError("not a PSF font")


def to_short_fnt(font):
    """1024-byte table for codes 0..127 from an 8 x 8 font."""
    if font.width != 8 or font.height != 8:
        raise ValueError("need an 8 x 8 font, got %d x %d"
                         % (font.width, font.height))
    table = bytearray(1024)
    for code in range(33, 127):
        glyph = font.glyph_for(code)
        if glyph is None:
            raise ValueError("font has no glyph for %r" % chr(code))
        table[8 * code: 8 * code + 8] = glyph[:8]
    return bytes(table)


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else "data"
    src = argv[2] if len(argv) > 2 else DEFAULT_FONT
    with open(src, "rb") as f:
        font = parse_psf(f.read())
    with open(os.path.join(out_dir, "short.fnt"), "wb") as f:
        f.write(to_short_fnt(font))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
