"""Tests of the data generators: the properties the program relies on."""
import gzip
import io
import os
import struct
import sys
import tempfile
import unittest
from unittest import mock

import numpy as np

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, TOOLS)

import check_data  # noqa: E402
import gen_campath  # noqa: E402
import gen_fonts  # noqa: E402
import gen_icon  # noqa: E402
import gen_music  # noqa: E402
import gen_short_font  # noqa: E402


def psf1(glyphs, table=None):
    """A PSF1 font of 8-byte glyphs; table maps glyph index -> list of
    code points (None: no Unicode table)."""
    mode = 0x02 if table is not None else 0
    out = bytearray(b"\x36\x04" + bytes([mode, 8]))
    for g in glyphs:
        out += g
    if table is not None:
        for i in range(len(glyphs)):
            for cp in table.get(i, []):
                out += struct.pack("<H", cp)
            out += b"\xff\xff"
    return bytes(out)


class ShortFontTest(unittest.TestCase):
    def test_psf1_glyphs_are_picked_through_the_unicode_table(self):
        # glyph k is filled with byte k; glyph order is rotated by 100
        glyphs = [bytes([k]) * 8 for k in range(256)]
        table = {k: [(k + 100) % 256] for k in range(256)}
        # a sequence entry must not steal the single code point mapping
        table[5] = [(5 + 100) % 256, 0xFFFE, ord("A"), 0x0301]
        font = gen_short_font.parse_psf(psf1(glyphs, table))
        fnt = gen_short_font.to_short_fnt(font)
        self.assertEqual(len(fnt), 1024)
        self.assertEqual(fnt[8 * 65:8 * 66], bytes([(65 - 100) % 256]) * 8)
        self.assertEqual(fnt[8 * 126:8 * 127], bytes([26]) * 8)
        self.assertEqual(fnt[8 * 32:8 * 33], bytes(8), "space is blank")
        self.assertEqual(fnt[0:8 * 32], bytes(8 * 32), "controls blank")
        self.assertEqual(fnt[8 * 127:], bytes(8), "code 127 blank")

    def test_psf2_and_gzip(self):
        glyphs = [bytes([k]) * 8 for k in range(128)]
        header = struct.pack("<4sIIIIIII", b"\x72\xb5\x4a\x86", 0, 32, 1,
                             128, 8, 8, 8)
        table = b""
        for k in range(128):
            table += chr(k).encode("utf-8") + b"\xfe" + "e\u0301".encode() \
                + b"\xff"
        data = gzip.compress(header + b"".join(glyphs) + table, mtime=0)
        fnt = gen_short_font.to_short_fnt(gen_short_font.parse_psf(data))
        self.assertEqual(fnt[8 * ord("e"):8 * ord("e") + 8],
                         bytes([ord("e")]) * 8)

    def test_bad_fonts_are_refused(self):
        with self.assertRaises(ValueError):
            gen_short_font.parse_psf(b"not a font at all")
        big = gen_short_font.PsfFont(8, 16, [bytes(16)] * 256, {})
        with self.assertRaises(ValueError):
            gen_short_font.to_short_fnt(big)
        sparse = psf1([bytes(8)] * 256, {65: [65]})
        with self.assertRaises(ValueError):
            gen_short_font.to_short_fnt(gen_short_font.parse_psf(sparse))


class CamPathTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.recs = gen_campath.decode(gen_campath.encode(
            gen_campath.build_records()))

    def test_play_order(self):
        order = gen_campath.play_order()
        self.assertEqual(order[:3], [0, 2, 4])
        self.assertEqual(order[299:302], [598, 1, 3])
        self.assertEqual(order[-2:], [599, 1])
        self.assertEqual(sorted(order[:-1]), list(range(600)))

    def test_records_are_rotations(self):
        self.assertEqual(len(self.recs), 600)
        for m in self.recs:
            np.testing.assert_allclose(m @ m.T, np.eye(3), atol=1e-5)
            self.assertAlmostEqual(np.linalg.det(m), 1.0, places=5)

    def test_path_is_smooth_at_every_step_and_seam(self):
        order = gen_campath.play_order()
        steps = [gen_campath.step_angle(self.recs[i], self.recs[j])
                 for i, j in zip(order, order[1:])]
        self.assertLess(max(steps), 3.0)
        self.assertGreater(min(steps), 0.2, "the camera never stands still")
        typical = float(np.median(steps))
        seam_598 = steps[299]          # 598 -> 1
        seam_599 = steps[-1]           # 599 -> 1
        self.assertLess(seam_598, 2.0 * typical)
        self.assertLess(seam_599, 2.0 * typical)
        # consecutive steps change gradually (no kinks)
        jumps = np.abs(np.diff(steps[300:]))
        self.assertLess(float(jumps.max()), 0.5)

    def test_loop_closes(self):
        np.testing.assert_allclose(gen_campath.loop_pose(0.0),
                                   gen_campath.loop_pose(1.0), atol=1e-12)


class FontSheetTest(unittest.TestCase):
    def test_cell_mapping_matches_the_program(self):
        for g in range(92):
            self.assertEqual(gen_fonts.char_cell(ord(gen_fonts.cell_char(g))), g)
        self.assertEqual(gen_fonts.char_cell(ord("!")), 0)
        self.assertEqual(gen_fonts.char_cell(ord("_")), 62)
        self.assertEqual(gen_fonts.char_cell(ord("a")), 62)
        self.assertEqual(gen_fonts.char_cell(ord("`")), 63)
        self.assertEqual(gen_fonts.cell_char(63), "b")
        self.assertIsNone(gen_fonts.char_cell(ord(" ")))
        self.assertIsNone(gen_fonts.cell_char(92))

    def test_keying_never_eats_ink(self):
        rgb = np.array([[[0, 0, 0], [1.2, 0.2, 0.3], [200, 0.4, 90],
                         [0.3, 0.2, 0.1], [10, 20, 30]]])
        q = gen_fonts.to_keyed_pixels(rgb)
        self.assertEqual(tuple(q[0, 0]), gen_fonts.KEY)
        self.assertEqual(tuple(q[0, 1]), (1, 1, 0))
        self.assertEqual(tuple(q[0, 2]), (200, 1, 90))
        self.assertEqual(tuple(q[0, 3]), gen_fonts.KEY)
        self.assertEqual(tuple(q[0, 4]), (10, 20, 30))

    def test_glyphs_fit_the_pen_and_the_line_pitch(self):
        sheet = gen_fonts.build_sheet().astype(int)
        ink = (sheet.sum(axis=2) > 60) & ~np.all(sheet == gen_fonts.KEY, axis=2)
        for g in range(92):
            cell = ink[:, 31 * g:31 * g + 24]
            rows = np.where(cell.any(axis=1))[0]
            cols = np.where(cell.any(axis=0))[0]
            self.assertTrue(len(rows), "cell %d has no ink" % g)
            self.assertGreaterEqual(rows[0], 5, gen_fonts.cell_char(g))
            self.assertLessEqual(rows[-1], 25, gen_fonts.cell_char(g))
            self.assertLessEqual(cols[-1], 12, gen_fonts.cell_char(g))
        cap = np.where(ink[:, 31 * 32:31 * 32 + 24].any(axis=1))[0]   # 'A'
        self.assertTrue(9 <= cap[-1] - cap[0] + 1 <= 13, "cap height")


class MusicTest(unittest.TestCase):
    def test_form_follows_the_opening(self):
        self.assertEqual(gen_music.N, 85 * gen_music.SR)
        self.assertEqual(gen_music.bar_time(gen_music.CAP1.start), 5.0)
        self.assertEqual(gen_music.bar_time(gen_music.CAP2.start), 9.0)
        self.assertEqual(gen_music.bar_time(gen_music.CAP3.start), 13.0)
        self.assertEqual(gen_music.bar_time(gen_music.LIFT), 17.0)
        self.assertEqual(gen_music.bar_time(gen_music.MAIN_A.start), 19.0)
        self.assertEqual(gen_music.bar_time(gen_music.BARS - 1), 81.0)
        self.assertEqual(gen_music.chord_of_bar(gen_music.CAP1.start), "Am")
        self.assertEqual(gen_music.chord_of_bar(gen_music.LIFT), "E")
        self.assertEqual(gen_music.chord_of_bar(gen_music.MAIN_A.start), "Am")
        self.assertEqual(gen_music.chord_of_bar(gen_music.BARS - 1), "Am")

    def test_hook_bars_match_their_chords(self):
        # the first note of every hook bar is a tone of the bar's chord
        tones = {"Am": {9, 0, 4}, "F": {5, 9, 0}, "C": {0, 4, 7},
                 "G": {7, 11, 2}, "Dm": {2, 5, 9}, "E": {4, 8, 11}}
        for t, _length, m, _voice, _vel in gen_music.lead_notes():
            step = (t - gen_music.START) / gen_music.STEP
            if abs(step % 16) > 1e-6:
                continue
            bar = int(round(step)) // 16
            chord = gen_music.chord_of_bar(bar)
            self.assertIn(m % 12, tones[chord], "bar %d (%s)" % (bar, chord))

    def test_lead_notes_stay_in_their_sections(self):
        for t, length, m, voice, _vel in gen_music.lead_notes():
            self.assertGreaterEqual(t, 9.0)
            self.assertLessEqual(t + length, 75.0)
            self.assertTrue(48 <= m <= 96)
            if voice == "bell" and t < 17.0:
                self.assertGreaterEqual(t, 9.0)

    def test_stft_filter(self):
        sr = gen_music.SR
        t = np.arange(sr) / sr
        x = np.random.default_rng(1).standard_normal(sr)
        same = gen_music.stft_filter(x, lambda ti, f: np.ones_like(ti * f))
        np.testing.assert_allclose(same, x, atol=1e-9)
        low, high = np.sin(2 * np.pi * 100 * t), np.sin(2 * np.pi * 8000 * t)

        def lp(ti, f):
            return gen_music.lowpass_gain(f, 500.0 + 0 * ti, order=4)
        mid = slice(sr // 4, 3 * sr // 4)
        kept = np.std(gen_music.stft_filter(low, lp)[mid]) / np.std(low[mid])
        cut = np.std(gen_music.stft_filter(high, lp)[mid]) / np.std(high[mid])
        self.assertGreater(kept, 0.9)
        self.assertLess(cut, 0.01)

    def test_saw_is_band_limited(self):
        n = 1 << 15
        f = 3217.3     # not a divisor of the rate: aliases fall between harmonics
        blep = gen_music.saw(f, n)
        phase = (np.arange(n) * f / gen_music.SR) % 1.0
        naive = 2 * phase - 1

        def alias_energy(x):
            spectrum = np.abs(np.fft.rfft(x * np.hanning(n))) ** 2
            freqs = np.fft.rfftfreq(n, 1.0 / gen_music.SR)
            harm = np.abs(freqs / f - np.round(freqs / f)) * f < 40.0
            return spectrum[~harm & (freqs < 12000)].sum() / spectrum.sum()
        self.assertLess(alias_energy(blep), alias_energy(naive) / 10.0)
        self.assertLess(np.max(np.abs(blep)), 1.2)

    def test_bus_wraps_round_the_loop(self):
        bus = gen_music.Bus()
        sig = np.ones(100)
        bus.add((gen_music.N - 40) / gen_music.SR, left=sig, right=sig)
        self.assertEqual(bus.l[-40:].sum(), 40)
        self.assertEqual(bus.l[:60].sum(), 60)

    def test_kick_envelope_pumps(self):
        env = gen_music.kick_envelope([1.0])
        i = gen_music.idx(1.0)
        self.assertLess(env[i + gen_music.idx(0.006)], 0.1)
        self.assertGreater(env[i + gen_music.idx(0.35)], 0.95)
        self.assertEqual(env[i - 1], 1.0)


class IconTest(unittest.TestCase):
    """The Windows icon: every entry in a form Windows draws with the right
    colours, holding exactly the desktop icon's pixels of its size."""
    ICONS = os.path.join(os.path.dirname(TOOLS), "dist", "icons")

    def entries(self, data):
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((reserved, kind), (0, 1))
        for i in range(count):
            w, h, colours, _, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
            self.assertEqual((w, colours, planes, bpp), (h, 0, 1, 32))
            yield w or 256, data[offset:offset + size]

    def decode_bmp(self, side, image):
        (header_bytes, width, height, planes, bpp, compression) = struct.unpack_from("<IiiHHI", image, 0)
        self.assertEqual((header_bytes, width, height, planes, bpp, compression), (40, side, 2 * side, 1, 32, 0))
        mask_bytes = (side + 31) // 32 * 4 * side
        self.assertEqual(len(image), 40 + 4 * side * side + mask_bytes)
        bgra = np.frombuffer(image, np.uint8, 4 * side * side, 40).reshape(side, side, 4)[::-1]
        self.assertTrue(np.all(bgra[:, :, 3] == 255), "the icon is opaque")
        self.assertEqual(image[40 + 4 * side * side:], bytes(mask_bytes))
        return bgra[:, :, 2::-1]

    def decode_png(self, image):
        # IHDR: bit depth 8, colour type 6 (RGBA).
        self.assertEqual(image[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(image[24:26], b"\x08\x06", "a 256 px entry must be an 8-bit RGBA PNG")
        rgba = np.asarray(gen_icon.Image.open(io.BytesIO(image)))
        self.assertTrue(np.all(rgba[:, :, 3] == 255), "the icon is opaque")
        return rgba[:, :, :3]

    def test_every_entry_has_the_desktop_icons_colours(self):
        with open(os.path.join(self.ICONS, "velmora2k.ico"), "rb") as f:
            data = f.read()
        sides = []
        for side, image in self.entries(data):
            sides.append(side)
            rgb = self.decode_png(image) if side >= gen_icon.ICO_PNG_SIDE else self.decode_bmp(side, image)
            want = np.asarray(gen_icon.Image.open(os.path.join(self.ICONS, "velmora2k_%d.png" % side)))
            self.assertTrue(np.array_equal(rgb, want), "the %d px entry's colours differ" % side)
            # Red and blue must differ somewhere, or a swap would go unseen.
            self.assertTrue(np.any(want[:, :, 0] != want[:, :, 2]))
        self.assertEqual(sides, list(gen_icon.SIZES))

    def test_the_committed_icons_are_what_the_generator_makes(self):
        with tempfile.TemporaryDirectory() as out:
            source = os.path.join(self.ICONS, "velmora2k_source.png")
            with mock.patch.object(sys, "argv", ["gen_icon.py", source, out]):
                gen_icon.main()
            for name in sorted(os.listdir(out)):
                with open(os.path.join(out, name), "rb") as a, open(os.path.join(self.ICONS, name), "rb") as b:
                    self.assertEqual(a.read(), b.read(), "%s is stale: run tools/gen_icon.py" % name)


if __name__ == "__main__":
    unittest.main()
