#!/usr/bin/env python3
"""Check the data files the program reads against the rules the program
relies on.  Usage: check_data.py DATA_DIR

Prints one line per check and a closing "N passed, M failed" line; exits
with 0 only when every check passed.
"""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import debian_python  # noqa: E402
import layout  # noqa: E402

debian_python.ensure("PIL")
from PIL import Image  # noqa: E402

SCREEN = layout.SCREEN
PICTURES = {
    "loading.png": SCREEN,
    "logo.png": SCREEN,
    "panel.png": SCREEN,
    "textpanel.png": SCREEN,
    "chrome.png": (256, 256),
    "fonts.png": (3300, 32),
}
# (lit picture, x, y) of each menu button, and the page files.
BUTTONS = [("on_%s.png" % name, x, y) for name, _label, x, y, _w, _h in layout.BUTTONS]
PAGES = tuple("%s.txt" % name for name in layout.PAGES)
ALL_FILES = (list(PICTURES) + [b[0] for b in BUTTONS]
             + ["on_load.png", "mouse.png", "short.fnt", "uv.cam", "qtn.mp3",
                "captions.txt"]
             + list(PAGES))

PAGE_WIDTH = 38
PAGE_ROWS = 24
PAGE_CHARS = set(range(32, 127)) - {ord("_"), ord("`")}
FONT_KEY = (255, 0, 255)
CAM_RECORDS = 600
CAM_MAX_STEP_DEG = 6.0
# The progress bar is drawn at its place on the loading screen and must
# stay on the screen from there.
BAR_X, BAR_Y = layout.LOADING_BAR[:2]
BAR_MAX_W = SCREEN[0] - BAR_X
BAR_MAX_H = SCREEN[1] - BAR_Y
WIN = layout.WINDOW3D
CAPTION_BOX = layout.CAPTION_BOX
GLYPH_ADVANCE = layout.GLYPH_ADVANCE
HEADER_ROWS = layout.HEADER_ROWS


# ---------------------------------------------------------------- pages

def check_captions(data):
    """Errors of captions.txt: three "X TEXT" lines in a page file, each
    inside the caption strip at GLYPH_ADVANCE pixels a glyph."""
    errors, count = check_page(data)
    lines = page_lines(data)[0][:count]
    if count != 3:
        errors.append("%d caption lines, expected 3" % count)
    for n, line in enumerate(lines, 1):
        x, _, text = line.partition(b" ")
        if not x.isdigit():
            errors.append("line %d: no left edge" % n)
        elif not (CAPTION_BOX[0] <= int(x) and int(x) + GLYPH_ADVANCE * len(text) <= CAPTION_BOX[2]):
            errors.append("line %d: outside the caption strip" % n)
    return errors


def page_lines(data):
    """Split page bytes at CR LF; returns (lines, errors)."""
    errors = []
    if not data.endswith(b"\r\n"):
        errors.append("does not end with CR LF")
    body = data[:-2] if data.endswith(b"\r\n") else data
    lines = body.split(b"\r\n")
    for n, line in enumerate(lines, 1):
        if b"\r" in line or b"\n" in line:
            errors.append("line %d: bare CR or LF" % n)
    return lines, errors


def check_page(data):
    """Errors of one page file (empty list when it is fine) and the
    number of text lines before END."""
    lines, errors = page_lines(data)
    if not lines or lines[-1] != b"END":
        errors.append('last line is not "END"')
    text = lines[:-1] if lines and lines[-1] == b"END" else lines
    for n, line in enumerate(text, 1):
        if line.startswith(b"END"):
            errors.append("line %d starts with END" % n)
        if len(line) > PAGE_WIDTH:
            errors.append("line %d: %d characters" % (n, len(line)))
        bad = sorted(set(c for c in line if c not in PAGE_CHARS))
        if bad:
            errors.append("line %d: bad bytes %s" % (n, bad))
        if line.replace(b"%%", b"").count(b"%"):
            errors.append("line %d: lone %%" % n)
    return errors, len(text)


# ---------------------------------------------------------------- fonts

def check_font_sheet(img):
    """Errors of the glyph sheet (a PIL image)."""
    errors = []
    if img.size != (3300, 32):
        return ["size %dx%d" % img.size]
    px = img.convert("RGB").load()
    w, h = img.size
    cell_cols = set()
    for g in range(93):
        cell_cols.update(range(31 * g, 31 * g + 24))
    eaten = 0
    stray = 0
    ink = [0] * 93
    for y in range(h):
        for x in range(w):
            p = px[x, y]
            if p == FONT_KEY:
                continue
            if x not in cell_cols:
                stray += 1
                continue
            if p[0] > 0 and p[1] == 0:
                eaten += 1
            if p != (0, 0, 0):
                ink[x // 31] += 1
    if eaten:
        errors.append("%d glyph pixels with red and no green" % eaten)
    if stray:
        errors.append("%d non-key pixels between cells" % stray)
    empty = [g for g in range(92) if ink[g] == 0]
    if empty:
        errors.append("empty cells %s" % empty)
    if ink[92]:
        errors.append("cell 92 is not empty")
    return errors


def check_short_font(data):
    errors = []
    if len(data) != 1024:
        return ["%d bytes, not 1024" % len(data)]
    if any(data[8 * 32:8 * 33]):
        errors.append("space glyph is not blank")
    blank = [chr(c) for c in range(33, 127) if not any(data[8 * c:8 * c + 8])]
    if blank:
        errors.append("blank glyphs for %s" % "".join(blank))
    return errors


# ---------------------------------------------------------------- camera

def play_order(count=CAM_RECORDS):
    return list(range(0, count, 2)) + list(range(1, count, 2)) + [1]


def _mat(vals):
    return [vals[0:3], vals[3:6], vals[6:9]]


def _det(m):
    return (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
            - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
            + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]))


def _angle_deg(a, b):
    tr = sum(a[r][c] * b[r][c] for r in range(3) for c in range(3))
    return math.degrees(math.acos(max(-1.0, min(1.0, (tr - 1.0) / 2.0))))


def check_campath(data):
    """Errors of uv.cam and the largest step (degrees) of the played
    sequence."""
    if len(data) != CAM_RECORDS * 36:
        return ["%d bytes, not %d" % (len(data), CAM_RECORDS * 36)], None
    vals = struct.unpack("<%df" % (CAM_RECORDS * 9), data)
    mats = [_mat(vals[9 * i:9 * i + 9]) for i in range(CAM_RECORDS)]
    errors = []
    for i, m in enumerate(mats):
        if any(not math.isfinite(v) for row in m for v in row):
            errors.append("record %d: not finite" % i)
            continue
        for r in range(3):
            for c in range(3):
                dot = sum(m[r][k] * m[c][k] for k in range(3))
                if abs(dot - (1.0 if r == c else 0.0)) > 1e-4:
                    errors.append("record %d: not orthonormal" % i)
                    break
            else:
                continue
            break
        if abs(_det(m) - 1.0) > 1e-4:
            errors.append("record %d: determinant %.5f" % (i, _det(m)))
    if errors:
        return errors[:10], None
    order = play_order()
    worst = 0.0
    for i, j in zip(order, order[1:]):
        a = _angle_deg(mats[i], mats[j])
        if a > worst:
            worst = a
        if a > CAM_MAX_STEP_DEG:
            errors.append("step %d -> %d turns %.2f degrees" % (i, j, a))
    return errors[:10], worst


# ---------------------------------------------------------------- pictures

def check_png_format(img, name):
    errors = []
    if img.format != "PNG":
        errors.append("%s is not a PNG" % name)
    if img.mode not in ("RGB", "RGBA"):
        errors.append("%s has mode %s, not 8-bit RGB/RGBA" % (name, img.mode))
    if img.info.get("interlace"):
        errors.append("%s is interlaced" % name)
    return errors


def hit_rect(x, y, size):
    w, h = size
    return (x, y, x + w + 2, y + h + 2)


def rects_overlap(a, b):
    """Inclusive rectangles (x0, y0, x1, y1)."""
    return not (a[2] < b[0] or b[2] < a[0] or a[3] < b[1] or b[3] < a[1])


def check_buttons(sizes):
    """sizes: list of (name, x, y, (w, h)).  Errors when hit rectangles
    overlap or leave the screen."""
    errors = []
    rects = [(n, hit_rect(x, y, s)) for n, x, y, s in sizes]
    for i in range(len(rects)):
        n, r = rects[i]
        if r[2] >= SCREEN[0] or r[3] >= SCREEN[1]:
            errors.append("%s reaches off the screen" % n)
        for m, q in rects[i + 1:]:
            if rects_overlap(r, q):
                errors.append("hit rectangles of %s and %s overlap" % (n, m))
    return errors


def check_pointer(img):
    """The pointer: at most 16 x 16, tip at the top left, black only
    outside the arrow (every black pixel connects to the border through
    black pixels, so no hole inside the arrow turns transparent)."""
    errors = []
    w, h = img.size
    if w > 16 or h > 16:
        errors.append("pointer is %dx%d, larger than 16x16" % (w, h))
    px = img.convert("RGB").load()
    if px[0, 0] == (0, 0, 0):
        errors.append("tip pixel (0, 0) is transparent")
    black = {(x, y) for y in range(h) for x in range(w) if px[x, y] == (0, 0, 0)}
    seen = {p for p in black if p[0] in (0, w - 1) or p[1] in (0, h - 1)}
    todo = list(seen)
    while todo:
        x, y = todo.pop()
        for q in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if q in black and q not in seen:
                seen.add(q)
                todo.append(q)
    holes = len(black) - len(seen)
    if holes:
        errors.append("%d transparent pixels inside the arrow" % holes)
    if len(black) == w * h:
        errors.append("pointer is all transparent")
    return errors


def region(img, x, y, w, h):
    return img.convert("RGB").crop((x, y, x + w, y + h)).tobytes()


def mean_level(img, box):
    data = img.convert("L").crop(box).tobytes()
    return sum(data) / float(len(data))


# ---------------------------------------------------------------- music

MP3_BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256,
                320]
MP3_RATES = [44100, 48000, 32000]


def mp3_frames(data):
    """Walk the MPEG-1 layer III frames; returns (frames, sample rate,
    channel modes, bitrates) and skips a leading ID3v2 tag."""
    pos = 0
    if data[:3] == b"ID3" and len(data) >= 10:
        size = 0
        for b in data[6:10]:
            size = (size << 7) | (b & 0x7F)
        pos = 10 + size
    frames, rates, modes, rates_kbps = 0, set(), set(), set()
    while pos + 4 <= len(data):
        h = struct.unpack(">I", data[pos:pos + 4])[0]
        if (h >> 21) != 0x7FF:
            break
        version = (h >> 19) & 3
        layer = (h >> 17) & 3
        br_idx = (h >> 12) & 15
        sr_idx = (h >> 10) & 3
        pad = (h >> 9) & 1
        mode = (h >> 6) & 3
        if version != 3 or layer != 1 or br_idx in (0, 15) or sr_idx == 3:
            break
        br = MP3_BITRATES[br_idx]
        sr = MP3_RATES[sr_idx]
        length = 144000 * br // sr + pad
        frames += 1
        rates.add(sr)
        modes.add(mode)
        rates_kbps.add(br)
        pos += length
    return frames, rates, modes, rates_kbps


def check_mp3(data):
    errors = []
    frames, rates, modes, kbps = mp3_frames(data)
    if frames < 10:
        return ["no MPEG-1 layer III stream found"], 0.0
    if rates != {44100}:
        errors.append("sample rates %s" % sorted(rates))
    if 3 in modes:
        errors.append("mono frames found")
    # the first frame is the encoder's info frame; the rest is music
    audio = [k for k in kbps]
    if max(audio) > 192 or min(audio) < 32:
        errors.append("bit rates %s" % sorted(audio))
    seconds = (frames - 1) * 1152 / 44100.0
    if seconds < 60.0:
        errors.append("only %.1f s long" % seconds)
    return errors, seconds


# ---------------------------------------------------------------- runner

class Report:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def result(self, name, errors, note=""):
        if errors:
            self.failed += 1
            print("FAIL %s" % name)
            for e in errors:
                print("     %s" % e)
        else:
            self.passed += 1
            print("ok   %s%s" % (name, (" (" + note + ")") if note else ""))


def run(data_dir):
    rep = Report()

    def path(n):
        return os.path.join(data_dir, n)

    missing = [n for n in ALL_FILES if not os.path.isfile(path(n))]
    rep.result("all data files present", ["missing %s" % n for n in missing])
    if missing:
        return rep

    long_pages = 0
    for name in PAGES:
        with open(path(name), "rb") as f:
            errors, count = check_page(f.read())
        if count > PAGE_ROWS:
            long_pages += 1
        rep.result("page %s" % name, errors, "%d lines" % count)
    rep.result("at least two pages scroll",
               [] if long_pages >= 2 else ["%d pages longer than %d lines"
                                           % (long_pages, PAGE_ROWS)])

    with open(path("captions.txt"), "rb") as f:
        rep.result("captions.txt", check_captions(f.read()))

    with open(path("short.fnt"), "rb") as f:
        rep.result("short.fnt", check_short_font(f.read()))

    with open(path("uv.cam"), "rb") as f:
        errors, worst = check_campath(f.read())
    rep.result("uv.cam rotations and path", errors,
               "max step %.2f degrees" % worst if worst is not None else "")

    images = {}
    for name in list(PICTURES) + [b[0] for b in BUTTONS] + ["on_load.png",
                                                            "mouse.png"]:
        img = Image.open(path(name))
        img.load()
        images[name] = img
        errors = check_png_format(img, name)
        want = PICTURES.get(name)
        if want and img.size != want:
            errors.append("size %dx%d, expected %dx%d" % (img.size + want))
        rep.result("picture %s" % name, errors, "%dx%d" % img.size)

    rep.result("fonts.png glyph sheet", check_font_sheet(images["fonts.png"]))

    bar = images["on_load.png"]
    rep.result("on_load.png fits the bar", [] if bar.size[0] <= BAR_MAX_W and
               bar.size[1] <= BAR_MAX_H else ["bar is %dx%d" % bar.size])

    rep.result("mouse.png pointer", check_pointer(images["mouse.png"]))

    rep.result("button hit rectangles", check_buttons(
        [(n, x, y, images[n].size) for n, x, y in BUTTONS]))

    panel, textpanel = images["panel.png"], images["textpanel.png"]
    header = (0, 0, SCREEN[0], HEADER_ROWS)
    same_header = region(panel, *header) == region(textpanel, *header)
    rep.result("panel and textpanel share rows 0-%d" % (HEADER_ROWS - 1),
               [] if same_header else ["header rows differ"])
    same_win = region(panel, *WIN) == region(textpanel, *WIN)
    rep.result("panel and textpanel share the 3D window",
               [] if same_win else ["3D window area differs"])
    level = mean_level(images["logo.png"], CAPTION_BOX)
    rep.result("logo caption strip is dark", [] if level < 40 else
               ["mean level %.1f" % level], "mean level %.1f" % level)

    with open(path("qtn.mp3"), "rb") as f:
        errors, seconds = check_mp3(f.read())
    rep.result("qtn.mp3 stream", errors, "%.1f s" % seconds)
    return rep


def main(argv):
    if len(argv) != 2:
        print("usage: check_data.py DATA_DIR")
        return 2
    rep = run(argv[1])
    print("%d passed, %d failed" % (rep.passed, rep.failed))
    return 0 if rep.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
