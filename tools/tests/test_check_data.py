"""The data checker must catch every broken file it is meant to catch, and
the pictures must keep the geometry the program draws them with."""
import os
import struct
import sys
import unittest

import numpy as np
from PIL import Image

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, TOOLS)

import check_data as cd  # noqa: E402
import gen_art  # noqa: E402
import gen_campath  # noqa: E402
import gen_fonts  # noqa: E402


class PageCheckTest(unittest.TestCase):
    GOOD = b"line one\r\n\r\n100%% sure\r\nEND\r\n"

    def test_good_page(self):
        self.assertEqual(cd.check_page(self.GOOD), ([], 3))

    def test_bad_pages(self):
        cases = {
            "bare LF": b"one\ntwo\r\nEND\r\n",
            "bare CR": b"one\rtwo\r\nEND\r\n",
            "no final CR LF": b"one\r\nEND",
            "no END": b"one\r\ntwo\r\n",
            "early END": b"one\r\nENDING soon\r\nEND\r\n",
            "too long": b"x" * 39 + b"\r\nEND\r\n",
            "underscore": b"a_b\r\nEND\r\n",
            "grave": b"a`b\r\nEND\r\n",
            "tab": b"a\tb\r\nEND\r\n",
            "high byte": b"caf\xe9\r\nEND\r\n",
            "lone percent": b"50% off\r\nEND\r\n",
            "percent d": b"%d%%\r\nEND\r\n",
        }
        for what, data in cases.items():
            errors, _ = cd.check_page(data)
            self.assertTrue(errors, what)


class FontCheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sheet = gen_fonts.build_sheet()

    def img(self, arr):
        return Image.fromarray(arr, "RGB")

    def test_generated_sheet_passes(self):
        self.assertEqual(cd.check_font_sheet(self.img(self.sheet)), [])

    def test_faults_are_found(self):
        eaten = self.sheet.copy()
        eaten[15, 31 * 40 + 5] = (200, 0, 10)          # keyed away at load
        self.assertTrue(cd.check_font_sheet(self.img(eaten)))
        stray = self.sheet.copy()
        stray[3, 31 * 7 + 27] = (90, 90, 90)           # between two cells
        self.assertTrue(cd.check_font_sheet(self.img(stray)))
        blank = self.sheet.copy()
        blank[:, 31 * 10:31 * 10 + 24] = gen_fonts.KEY  # a glyph missing
        self.assertTrue(cd.check_font_sheet(self.img(blank)))
        small = Image.new("RGB", (3299, 32), gen_fonts.KEY)
        self.assertTrue(cd.check_font_sheet(small))

    def test_short_font(self):
        good = bytearray(1024)
        for c in range(33, 127):
            good[8 * c] = 0x18
        self.assertEqual(cd.check_short_font(bytes(good)), [])
        spaced = bytearray(good)
        spaced[8 * 32 + 3] = 1
        self.assertTrue(cd.check_short_font(bytes(spaced)))
        self.assertTrue(cd.check_short_font(bytes(good[:1000])))
        missing = bytearray(good)
        missing[8 * 65] = 0
        self.assertTrue(cd.check_short_font(bytes(missing)))


class CamCheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.recs = gen_campath.build_records()

    def test_generated_path_passes(self):
        errors, worst = cd.check_campath(gen_campath.encode(self.recs))
        self.assertEqual(errors, [])
        self.assertLess(worst, 3.0)

    def test_faults_are_found(self):
        mirrored = self.recs.copy()
        mirrored[17] = mirrored[17] * np.array([[1], [1], [-1]])
        self.assertTrue(cd.check_campath(gen_campath.encode(mirrored))[0])
        scaled = self.recs.copy()
        scaled[3] = scaled[3] * 1.01
        self.assertTrue(cd.check_campath(gen_campath.encode(scaled))[0])
        # records in file order instead of play order: 598 -> 1 jumps
        shuffled = self.recs.copy()
        shuffled[1], shuffled[300] = self.recs[300].copy(), self.recs[1].copy()
        self.assertTrue(cd.check_campath(gen_campath.encode(shuffled))[0])
        self.assertTrue(cd.check_campath(b"\0" * 100)[0])


class LayoutCheckTest(unittest.TestCase):
    def test_button_rectangles(self):
        sizes = [(b[0], b[2], b[3], (b[4], b[5])) for b in gen_art.BUTTONS]
        self.assertEqual(cd.check_buttons(sizes), [])
        tall = list(sizes)
        name, x, y, (w, h) = tall[0]
        tall[0] = (name, x, y, (w, 36))        # reaches row 202 of compo
        self.assertTrue(cd.check_buttons(tall))
        self.assertTrue(cd.rects_overlap((0, 0, 10, 10), (10, 10, 20, 20)))
        self.assertFalse(cd.rects_overlap((0, 0, 10, 10), (11, 0, 20, 10)))

    def pointer(self, rows):
        arr = np.zeros((len(rows), len(rows[0]), 3), np.uint8)
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch == "X":
                    arr[y, x] = (1, 1, 1)
                elif ch == "W":
                    arr[y, x] = (255, 255, 255)
        return Image.fromarray(arr, "RGB")

    def test_pointer(self):
        good = ["X...", "XX..", "XWX.", "XXXX"]
        self.assertEqual(cd.check_pointer(self.pointer(good)), [])
        hole = ["XXXXX", "XW.WX", "XWWWX", "XXXXX"]
        self.assertTrue(cd.check_pointer(self.pointer(hole)))
        no_tip = [".X..", "XX..", "XWX.", "XXXX"]
        self.assertTrue(cd.check_pointer(self.pointer(no_tip)))
        big = ["X" * 17] * 3
        self.assertTrue(cd.check_pointer(self.pointer(big)))


def mp3_frame(bitrate_idx=11, rate_idx=0, mode=1):
    """An MPEG-1 layer III frame header followed by zero bytes."""
    h = (0x7FF << 21) | (3 << 19) | (1 << 17) | (1 << 16) | \
        (bitrate_idx << 12) | (rate_idx << 10) | (mode << 6)
    br = cd.MP3_BITRATES[bitrate_idx]
    sr = cd.MP3_RATES[rate_idx]
    return struct.pack(">I", h) + bytes(144000 * br // sr - 4)


class Mp3CheckTest(unittest.TestCase):
    def test_stream_walk(self):
        frames = 2400           # about 62.7 s
        data = b"ID3\x03\x00\x00\x00\x00\x00\x05" + bytes(5) + \
            mp3_frame() * frames
        errors, seconds = cd.check_mp3(data)
        self.assertEqual(errors, [])
        self.assertAlmostEqual(seconds, (frames - 1) * 1152 / 44100.0)

    def test_faults_are_found(self):
        self.assertTrue(cd.check_mp3(mp3_frame() * 500)[0])        # short
        self.assertTrue(cd.check_mp3(mp3_frame(rate_idx=1) * 2400)[0])
        self.assertTrue(cd.check_mp3(mp3_frame(mode=3) * 2400)[0])
        self.assertTrue(cd.check_mp3(mp3_frame(bitrate_idx=14) * 2400)[0])
        self.assertTrue(cd.check_mp3(b"RIFF" + bytes(5000))[0])


class PictureGeometryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.panel, cls.lit = gen_art.panel_pictures()

    def test_lit_buttons_line_up_with_the_panel(self):
        panel = gen_art.iu.to_u8(self.panel).astype(int)
        for name, _label, x, y, w, h in gen_art.BUTTONS:
            lit = gen_art.iu.to_u8(self.lit["on_%s.png" % name]).astype(int)
            self.assertEqual(lit.shape, (h, w, 3))
            under = panel[y:y + h, x:x + w]
            # the corners lie outside the rounded slot: the lit picture
            # must continue the panel there without a seam
            for cy, cx in ((0, 0), (0, w - 1), (h - 1, 0), (h - 1, w - 1)):
                self.assertLessEqual(np.abs(lit[cy, cx] - under[cy, cx]).max(),
                                     2, "%s corner %d,%d" % (name, cx, cy))
            # and the label must light up
            self.assertGreater(lit.mean(), under.mean() + 10, name)

    def test_progress_bar_grows_by_whole_segments(self):
        bar = gen_art.iu.to_u8(gen_art.make_loadbar()).astype(int)
        self.assertEqual(bar.shape[:2], (gen_art.BAR_H, gen_art.BAR_W))
        lum = bar[4:12].sum(axis=(0, 2))
        for k in range(1, 25):
            # the program shows trunc(width * k / 24) columns after step k
            c = int(np.float32(gen_art.BAR_W) * (np.float32(k) *
                                                 np.float32(1.0 / 24)))
            self.assertLess(lum[c - 1], 0.4 * lum[c - 2], "step %d" % k)

    def test_pointer_picture(self):
        m = gen_art.iu.to_u8(gen_art.make_mouse())
        self.assertEqual(cd.check_pointer(Image.fromarray(m, "RGB")), [])


if __name__ == "__main__":
    unittest.main()
