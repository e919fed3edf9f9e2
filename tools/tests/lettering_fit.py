"""Lettering of any party fits its boxes: names of 3, 12 and 24 characters
with letters outside ASCII, beside the longest other facts, drawn into
every lettered picture; the lettering (ink, outline and glow) is found by
drawing each picture again with the party's text left out.  Run on its
own (it draws 24 full pictures): lettering_fit.py"""
import os
import sys
import tempfile
import unittest
from unittest import mock

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, TOOLS)

import debian_python  # noqa: E402

debian_python.ensure("numpy", "PIL")

import numpy as np  # noqa: E402

import gen_art  # noqa: E402
import imgutil  # noqa: E402
import party as pt  # noqa: E402

NAMES = ("Åby", "Łódź Żurawie", "Straßenfest Ñoño Łęcz 31")
# The longest values the other lettered facts may have.
LONGEST = """\
edition: Große Sommernachts Édition!
dates: Friday 29 September - Monday 2 October 2034
place: Großer Saal, Hauptstraße 1, Wąchockżółtkówek, Österreichländer
short_dates: 29 Sept - 2 Oct.
summary: A party.
"""
PICTURES = {
    "logo.png": gen_art.make_logo,
    "loading.png": gen_art.make_loading,
    "panel.png": lambda party: gen_art.panel_pictures(party)[0],
    "textpanel.png": gen_art.make_textpanel,
}
# Pixel values differ by more than this where lettering was drawn.
LEVEL = 0.5
# The pictures' own words, the same for every party.
OWN_WORDS = {"LOADING", "M A I N   M E N U",
             "MOVE THE MOUSE  -  LEFT BUTTON CHOOSES  -  ESC LEAVES",
             "POINT AT THE TOP OR BOTTOM EDGE TO SCROLL"}
OWN_WORDS |= {b[1] for b in gen_art.BUTTONS}


def party_named(folder, name):
    os.makedirs(os.path.join(folder, "pages"), exist_ok=True)
    for page in pt.PAGES:
        with open(os.path.join(folder, "pages", page + ".txt"), "w") as f:
            f.write("text\n")
    with open(os.path.join(folder, "party.txt"), "w", encoding="utf-8") as f:
        f.write("name: %s\n%s" % (name, LONGEST))
    party, problems = pt.load(folder)
    assert not problems, problems.items
    return party


def without_text(make, party):
    """The picture with the party's lettering left out: its text masks
    empty, of the same sizes, so the layout is the same."""
    real = imgutil.text_mask

    def empty(text, *args, **kwargs):
        m, base, left = real(text, *args, **kwargs)
        return (m if text in OWN_WORDS else np.zeros_like(m)), base, left
    with mock.patch.object(imgutil, "text_mask", empty):
        return make(party)


def box_mask(boxes):
    inside = np.zeros(gen_art.SHAPE, dtype=bool)
    for x0, y0, x1, y1 in boxes:
        inside[y0:y1, x0:x1] = True
    return inside


class LetteringFitTest(unittest.TestCase):
    def test_every_name_stays_inside_every_box(self):
        for name in NAMES:
            with tempfile.TemporaryDirectory() as tmp:
                party = party_named(tmp, name)
            self.assertEqual(gen_art.fit_problems(party), [], name)
            for picture, make in PICTURES.items():
                boxes = dict(gen_art.LETTER_BOXES[picture])
                if picture in ("panel.png", "textpanel.png"):
                    boxes.update({"header " + k: b for k, b
                                  in gen_art.LETTER_BOXES["header"].items()})
                drawn = np.abs(make(party) - without_text(make, party)).max(axis=2) > LEVEL
                outside = drawn & ~box_mask(boxes.values())
                ys, xs = np.nonzero(outside)
                self.assertFalse(outside.any(), "%s, %r: %d lettering pixels outside "
                                 "the boxes, the first at x %s, y %s"
                                 % (picture, name, len(xs), xs[:1], ys[:1]))
                for key, box in boxes.items():
                    self.assertTrue(box_mask([box])[drawn].any(),
                                    "%s, %r: nothing lettered in the %s box"
                                    % (picture, name, key))

    def test_a_name_too_long_for_the_smallest_type_is_reported(self):
        with tempfile.TemporaryDirectory() as tmp:
            party = party_named(tmp, "Wmwmwmwmwmwmwmwmwmwmwmwm")
        with mock.patch.dict(gen_art.LETTER_BOXES["panel.png"],
                             {"title": (300, 51, 340, 140)}):
            problems = gen_art.fit_problems(party)
        self.assertTrue(any("name does not fit" in p for p in problems), problems)


if __name__ == "__main__":
    unittest.main()
