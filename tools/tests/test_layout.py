"""The screen layout in layout.json: read whole, refused with the member's
name when a value is missing or not a whole number, and its places agree
with each other on the screen."""
import copy
import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import check_data as cd  # noqa: E402
import layout  # noqa: E402


class LayoutFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(layout.PATH, encoding="utf-8") as f:
            cls.raw = json.load(f)

    def write(self, text):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            f.write(text)
        self.addCleanup(os.remove, f.name)
        return f.name

    def test_bad_values_are_refused_by_file_and_name(self):
        def changed(change):
            raw = copy.deepcopy(self.raw)
            change(raw)
            return json.dumps(raw)
        cases = [
            ("header_rows", changed(lambda r: r.pop("header_rows"))),
            ("header_rows", changed(lambda r: r.update(header_rows="50"))),
            ("buttons[2].width", changed(lambda r: r["buttons"][2].update(width=152.5))),
            ("buttons[4].name", changed(lambda r: r["buttons"][4].pop("name"))),
            ("window3d.y", changed(lambda r: r["window3d"].update(y=True))),
            ("caption_strip.glyph_advance",
             changed(lambda r: r["caption_strip"].pop("glyph_advance"))),
            ("loading_bar", changed(lambda r: r.update(loading_bar=[224, 231, 192, 16]))),
            ("Expecting", '{"screen": {"width": 640,'),
        ]
        for where, text in cases:
            with self.subTest(where=where):
                path = self.write(text)
                with self.assertRaises(layout.LayoutError) as caught:
                    layout.load(path)
                self.assertTrue(str(caught.exception).startswith(path + ": "), caught.exception)
                self.assertIn(where, str(caught.exception))

    def test_the_file_as_it_is_loads(self):
        self.assertEqual(layout.load(self.write(json.dumps(self.raw)))["buttons"], layout.BUTTONS)

    def test_places_agree_on_the_screen(self):
        w, h = layout.SCREEN
        self.assertEqual((w, h), (640, 480))
        # one button for each page, in the pages' order, then exit
        names = [b[0] for b in layout.BUTTONS]
        self.assertEqual(names, layout.PAGES + ["exit"])
        sizes = [(b[0], b[2], b[3], (b[4], b[5])) for b in layout.BUTTONS]
        self.assertEqual(cd.check_buttons(sizes), [])
        # the buttons, the 3D window and the bar lie below the header band
        # and inside the screen
        boxes = [(n, x, y, x + bw, y + bh) for n, _l, x, y, bw, bh in layout.BUTTONS]
        wx, wy, ww, wh = layout.WINDOW3D
        bx, by, bw, bh = layout.LOADING_BAR
        boxes += [("window3d", wx, wy, wx + ww, wy + wh),
                  ("loading_bar", bx, by, bx + bw, by + bh)]
        for name, x0, y0, x1, y1 in boxes:
            with self.subTest(box=name):
                self.assertTrue(0 <= x0 < x1 <= w and layout.HEADER_ROWS <= y0 < y1 <= h)
        x0, y0, x1, y1 = layout.CAPTION_BOX
        self.assertTrue(0 <= x0 < x1 <= w and 0 <= y0 < y1 <= h)
        self.assertGreater((x1 - x0) // layout.GLYPH_ADVANCE, 0)


if __name__ == "__main__":
    unittest.main()
