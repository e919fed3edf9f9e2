"""A party folder's facts as an organiser writes them: what is derived from
the five required facts, and where each problem is reported."""
import os
import sys
import tempfile
import unittest

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, TOOLS)

import party as pt  # noqa: E402


def load(text, pages=pt.PAGES):
    with tempfile.TemporaryDirectory() as tmp:
        os.makedirs(os.path.join(tmp, "pages"))
        for page in pages:
            with open(os.path.join(tmp, "pages", page + ".txt"), "w") as f:
                f.write("text\n")
        with open(os.path.join(tmp, "party.txt"), "w", encoding="utf-8") as f:
            f.write(text)
        party, problems = pt.load(tmp)
        return party, [p.replace(tmp + "/", "") for p in problems.items]


FIVE = ("name: Velmora 2000\nedition: Quorvantia Edition\n"
        "dates: Saturday 8 - Sunday 9 July 2000\n"
        "place: Kestrelgarden hall, Ostmark road 14, Brenmar, Valdor\n"
        "summary: A party.\n")


class DerivedFactsTest(unittest.TestCase):
    def test_the_pictures_facts_come_from_the_five(self):
        cases = [
            (FIVE, ("2000", "8 - 9 July", "Brenmar", "Valdor",
                    "Velmora 2000 | Quorvantia Edition | 8 - 9 July, Brenmar, Valdor")),
            (FIVE.replace("Saturday 8 - Sunday 9 July 2000", "friday, 29 May - 1 June 2031")
                 .replace("Kestrelgarden hall, Ostmark road 14, Brenmar, Valdor", "Łódź"),
             ("2031", "29 May - 1 June", "Łódź", "", "Velmora 2000 | Quorvantia Edition | "
              "29 May - 1 June, Łódź")),
            # the third caption keeps as much of the place as fits
            (FIVE.replace("Brenmar, Valdor", "Sjöby-Näs-Östra, Nordmarksland"),
             ("2000", "8 - 9 July", "Sjöby-Näs-Östra", "Nordmarksland",
              "Velmora 2000 | Quorvantia Edition | 8 - 9 July, Sjöby-Näs-Östra")),
        ]
        for text, (year, short, town, country, captions) in cases:
            party, problems = load(text)
            self.assertEqual(problems, [])
            got = tuple(party[k] for k in ("year", "short_dates", "town", "country", "captions"))
            self.assertEqual(got, (year, short, town, country, captions))

    def test_captions_speak_the_glyph_fonts_letters(self):
        party, _ = load(FIVE.replace("Velmora 2000", "Straße Łódź Øre 2031"))
        self.assertEqual(pt.caption_lines(party)[0], (590 - 11 * 21, "Strasse Lodz Ore 2031"))
        party, _ = load(FIVE + "caption_x: 458 394 293\n")
        self.assertEqual([x for x, _t in pt.caption_lines(party)], [458, 394, 293])

    def test_the_name_splits_into_chrome_and_gold(self):
        party, _ = load(FIVE)
        self.assertEqual(party.title_parts(), ("VELMORA", "2000"))
        party, _ = load(FIVE.replace("Velmora 2000", "Noc Żółwia"))
        self.assertEqual(party.title_parts(), ("NOC ŻÓŁWIA", "2000"))


class ProblemsTest(unittest.TestCase):
    def test_every_problem_at_once_with_its_place(self):
        text = ("name: Ve\n"                       # too short
                "edition: Quorvantia Edition\n"
                "# no dates line\n"
                "place: Hall, Brenmar, Valdor\n"
                "summary: A party.\n"
                "colour: blue\n"                   # unknown key
                "name: Velmora\n"                  # given twice
                "this line has no key\n"
                "edition: x\n")
        _party, problems = load(text.replace("Quorvantia", "Quorvantia ✓"), pages=("info",))
        expected = [
            'party.txt:6:1: unknown key "colour"',
            'party.txt:7:1: "name" given twice (first on line 1)',
            'party.txt:8:1: not a "key: value" line',
            'party.txt:9:1: "edition" given twice (first on line 2)',
            'party.txt: no "dates:" line',
            "party.txt:1: name is 2 characters, at least 3",
            'party.txt:2:21: edition: the lettering cannot draw "✓"',
            "pages/compo.txt: missing",
            "pages/contact.txt: missing",
            "pages/credits.txt: missing",
        ]
        self.assertEqual(len(problems), len(expected), "\n".join(problems))
        for want, got in zip(expected, problems):
            self.assertTrue(got.startswith(want), "%r does not start with %r" % (got, want))

    def test_a_derived_fact_too_long_points_at_its_source(self):
        _party, problems = load(FIVE.replace("Brenmar", "Brenmarskestrelgardenhus"))
        self.assertEqual(len(problems), 1)
        self.assertTrue(problems[0].startswith("party.txt:4: town is 24 characters, at most 16"),
                        problems[0])
        self.assertIn('give "town:" a shorter value', problems[0])


if __name__ == "__main__":
    unittest.main()
