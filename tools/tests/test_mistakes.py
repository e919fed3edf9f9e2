"""A party folder as organisers really leave it: files saved by any editor,
values left empty, music under the wrong name or cut off, pages at their
limits, and one-word names whose letters reach below the line."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, TOOLS)

import gen_art  # noqa: E402
import gen_pages  # noqa: E402
import make_party_data as mpd  # noqa: E402
import party as pt  # noqa: E402
import party_music  # noqa: E402

FIVE = ("name: Velmora 2000\nedition: Quorvantia Edition\n"
        "dates: Saturday 8 - Sunday 9 July 2000\n"
        "place: Kestrelgarden hall, Ostmark road 14, Brenmar, Valdor\n"
        "summary: A party.\n")
BOM = b"\xef\xbb\xbf"


def folder(tmp, facts, page=b"text\n", files=()):
    os.makedirs(os.path.join(tmp, "pages"), exist_ok=True)
    for name in pt.PAGES:
        with open(os.path.join(tmp, "pages", name + ".txt"), "wb") as f:
            f.write(page)
    with open(os.path.join(tmp, "party.txt"), "wb") as f:
        f.write(facts)
    for name in files:
        os.makedirs(os.path.join(tmp, name)) if name.endswith("/") else open(
            os.path.join(tmp, name), "wb").close()
    _party, problems = mpd.check(tmp)
    return [p.replace(tmp + "/", "") for p in problems]


class OrganiserMistakesTest(unittest.TestCase):
    def test_files_as_editors_save_them(self):
        with tempfile.TemporaryDirectory() as tmp:
            # a byte order mark and CR LF line ends are read as plain text
            crlf = FIVE.replace("\n", "\r\n").encode()
            self.assertEqual(folder(tmp, BOM + crlf, BOM + b"text\r\n"), [])
        with tempfile.TemporaryDirectory() as tmp:
            # UTF-16 is one problem, not one for every key it hides
            self.assertEqual(folder(tmp, FIVE.encode("utf-16")),
                             ["party.txt:1: not UTF-8 text; save it as UTF-8"])
        with tempfile.TemporaryDirectory() as tmp:
            got = folder(tmp, FIVE.replace("Quorvantia Edition", "").encode(),
                         "caf\u00e9\n".encode("latin-1"))
            self.assertEqual(got[0], 'party.txt:2:9: "edition:" has no value; write it after the colon')
            self.assertEqual(got[1:], ["pages/%s.txt:1: not UTF-8 text; save it as UTF-8" % p
                                       for p in pt.PAGES])

    def test_music_that_would_be_passed_over_or_lost(self):
        with tempfile.TemporaryDirectory() as tmp:
            self.assertEqual(folder(tmp, FIVE.encode(), files=("song.flac",)),
                             ['song.flac: the music must be named music.flac (or named by '
                              '"music:" in party.txt); rename it'])
        with tempfile.TemporaryDirectory() as tmp:
            self.assertEqual(folder(tmp, FIVE.encode(), files=("music.mp3/",)),
                             ["music.mp3: not a file that can be read; put the music file itself there"])
        with tempfile.TemporaryDirectory() as tmp:
            # cut off after its header: the header's 24 s are not there
            whole, cut = os.path.join(tmp, "whole.flac"), os.path.join(tmp, "music.flac")
            subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                            "sine=frequency=330:duration=24", whole], check=True)
            with open(whole, "rb") as f, open(cut, "wb") as g:
                g.write(f.read(20000))
            self.assertIsNone(party_music.problem(cut))
            with self.assertRaisesRegex(party_music.MusicError, "could be decoded, the file is damaged"):
                party_music.convert(cut, os.path.join(tmp, "qtn.mp3"))

    def test_pages_at_their_limits(self):
        # the program shows "%%" as one "%": 37 letters and a "%" fit
        self.assertEqual(gen_pages.build_page("x" * 37 + "%\n", problems=[]),
                         b"x" * 37 + b"%%\r\nEND\r\n")
        found = []
        gen_pages.build_page("line\n" * (gen_pages.PAGE_LINES + 1), problems=found)
        self.assertEqual(found, [(1001, None, "1001 lines, the program shows at most 1000; shorten the page")])

    def test_one_word_names_reaching_below_the_line_fit(self):
        with tempfile.TemporaryDirectory() as tmp:
            for name in ("Øksfjord", "Çanakkale", "Jąkała"):
                self.assertEqual(folder(tmp, FIVE.replace("Velmora 2000", name).encode()), [], name)


if __name__ == "__main__":
    unittest.main()
