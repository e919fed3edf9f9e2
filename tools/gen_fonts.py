#!/usr/bin/env python3
"""Render the glyph sheet fonts.png.

The sheet is 3300 x 32 pixels.  Cell g occupies columns 31g .. 31g+23 and
all 32 rows.  The program adds a glyph onto the screen byte by byte with
saturation and moves the pen 11 pixels per character, so every glyph is
drawn into the left 11 columns of its cell, centred on an 11 pixel slot.

Characters '!' .. '^' live in cells 0 .. 61, 'a' .. '~' in cells 62 .. 91
('_' and '`' share the cells of 'a' and 'b' and get no picture of their
own); cell 92 (code 127) stays empty.

Everything that is not ink is magenta (255, 0, 255): the loader turns
every pixel with red > 0 and green == 0 into transparent black.  Ink
pixels therefore always carry green >= 1 when they carry red.
"""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imgutil  # noqa: E402

SHEET_W, SHEET_H = 3300, 32
CELL_PITCH, CELL_W = 31, 24
CELL_COUNT = 93
PEN_ADVANCE = 11
KEY = (255, 0, 255)

BASELINE = 20          # row of the baseline inside a cell
FONT_SIZE = 15.5       # gives a cap height of about 11 pixels
X_STRETCH = 1.12       # the mono face is a little narrow for an 11 px pen
SUPER = 8              # supersampling factor for anti-aliasing

# vertical colour ramp, keyed by row inside the cell (gold on top, deep
# amber at the baseline, copper on descenders)
RAMP = [
    (7, (255, 246, 206)),
    (10, (255, 232, 150)),
    (14, (248, 198, 84)),
    (18, (232, 150, 48)),
    (21, (206, 112, 42)),
    (25, (160, 80, 64)),
]
GLOW_COLOUR = (18, 26, 70)   # faint blue halo, added around the ink
GLOW_STRENGTH = 0.55


def cell_char(g):
    """Character drawn into cell g, or None for an empty cell."""
    if 0 <= g <= 61:
        return chr(33 + g)
    if 62 <= g <= 91:
        return chr(g + 35)
    return None


def char_cell(c):
    """Cell used by the program for character code c, or None."""
    if c > 127 or c <= 32:
        return None
    if c <= 96:
        return c - 33
    return c - 35


def ramp_colours():
    rows = np.arange(SHEET_H, dtype=np.float64)
    keys = np.array([k for k, _ in RAMP], dtype=np.float64)
    cols = np.array([c for _, c in RAMP], dtype=np.float64)
    out = np.empty((SHEET_H, 3))
    for ch in range(3):
        out[:, ch] = np.interp(rows, keys, cols[:, ch])
    return out


def font_path():
    return imgutil.find_font("DejaVuSansMono-Bold.ttf")


def glyph_coverage(font, ch):
    """Coverage (0..1) of one character in a 24 x 32 cell."""
    s = SUPER
    hi = Image.new("L", (CELL_W * s * 2, SHEET_H * s), 0)
    d = ImageDraw.Draw(hi)
    adv = font.getlength(ch)
    # place the advance box so that, after the horizontal stretch, it is
    # centred on the 11 pixel pen slot
    slot_centre_hi = (PEN_ADVANCE / 2.0) * s / X_STRETCH
    x0 = slot_centre_hi - adv / 2.0
    d.text((x0, BASELINE * s), ch, font=font, fill=255, anchor="ls")
    w = int(round(hi.width * X_STRETCH / s))
    lo = hi.resize((w, SHEET_H), Image.BOX)
    cov = np.asarray(lo, dtype=np.float64)[:, :CELL_W] / 255.0
    return cov


def blur(a, passes=2):
    """Small separable blur used for the halo."""
    out = a.copy()
    for _ in range(passes):
        p = np.pad(out, 1)
        out = (p[:-2, 1:-1] + p[2:, 1:-1] + p[1:-1, :-2] + p[1:-1, 2:]
               + 2 * p[1:-1, 1:-1]) / 6.0
    return out


def shade_glyph(cov):
    """Turn a coverage map into additive RGB pixels (float, 0..255)."""
    ramp = ramp_colours()
    ink = cov[:, :, None] * ramp[:, None, :]
    halo = np.clip(blur(cov, 3) * 2.2, 0.0, 1.0) * GLOW_STRENGTH
    halo = halo * (1.0 - cov)
    glow = halo[:, :, None] * np.array(GLOW_COLOUR, dtype=np.float64)
    return ink + glow


def to_keyed_pixels(rgb):
    """Quantise glyph pixels; zero pixels become the magenta key and every
    pixel with red keeps a non-zero green so the key pass leaves it."""
    q = np.clip(np.rint(rgb), 0, 255).astype(np.uint8)
    red = q[:, :, 0] > 0
    q[:, :, 1] = np.where(red & (q[:, :, 1] == 0), 1, q[:, :, 1])
    empty = (q.astype(np.int32).sum(axis=2) == 0)
    q[empty] = KEY
    return q


def build_sheet():
    font = ImageFont.truetype(font_path(), int(round(FONT_SIZE * SUPER)))
    sheet = np.zeros((SHEET_H, SHEET_W, 3), dtype=np.uint8)
    sheet[:, :] = KEY
    for g in range(CELL_COUNT):
        ch = cell_char(g)
        if ch is None:
            continue
        cov = glyph_coverage(font, ch)
        px = to_keyed_pixels(shade_glyph(cov))
        x = CELL_PITCH * g
        sheet[:, x:x + CELL_W] = px
    return sheet


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else "data"
    sheet = build_sheet()
    imgutil.save_png(sheet, os.path.join(out_dir, "fonts.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
