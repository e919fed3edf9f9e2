#!/usr/bin/env python3
"""A party folder: the facts, the pages, the music and optional pictures
of one invitation, read and checked.

    PARTY_DIR/party.txt        one "key: value" a line, '#' starts a comment
    PARTY_DIR/pages/info.txt   the four text pages (compo, contact, credits)
    PARTY_DIR/music.EXT        optional: mp3, ogg, oga, flac, wav, m4a, opus
    PARTY_DIR/logo.png         optional pictures that replace generated ones
    PARTY_DIR/loading.png

Every problem is collected as "FILE:LINE:COLUMN: what is wrong; what to
do" (line and column only where they help), so an organiser sees all of
them at once.  Usage as a program: party.py check PARTY_DIR prints the
problems and exits 1 when there is one; party.py facts PARTY_DIR prints
the facts with the derived keys filled in.
"""
import os
import re
import sys
import unicodedata

REQUIRED = ("name", "edition", "dates", "place", "summary")
# Optional keys; each is derived from the required ones when absent.
OPTIONAL = ("year", "short_dates", "town", "country", "captions",
            "caption_x", "site", "music")

# Longest values, in characters, that the lettering is made to fit.
MAX_LENGTH = {
    "name": 24, "edition": 28, "dates": 60, "place": 90, "summary": 300,
    "year": 4, "short_dates": 16, "town": 16, "country": 16,
    "site": 200, "music": 100,
}
MIN_NAME = 3

# The lettering fonts (DejaVu) draw ASCII and every letter of Latin-1 and
# Latin Extended-A: that covers the languages of Europe written in Latin
# letters.  Of the rest, these signs are allowed.
LETTERING_SIGNS = set(" -.,'&!?/:+()#")
NOT_LETTERS = {"\u00d7", "\u00f7"}   # the multiplication and division signs

# The program's glyph font, used by the pages and the opening's captions.
GLYPH_FONT = set(chr(c) for c in range(32, 127)) - {"_", "`"}

PAGES = ("info", "compo", "contact", "credits")
MUSIC_EXTENSIONS = ("mp3", "ogg", "oga", "flac", "wav", "m4a", "opus")
PICTURES = ("logo.png", "loading.png")
CAPTION_LINES = 3
# The captions are shown in the strip x = 293 .. 605 at 11 pixels a glyph.
CAPTION_LEFT, CAPTION_RIGHT, GLYPH_ADVANCE = 293, 605, 11
CAPTION_ALIGN_RIGHT = 590   # right edge of a caption line by default
CAPTION_MAX = (CAPTION_RIGHT - CAPTION_LEFT) // GLYPH_ADVANCE

WEEKDAYS = ("monday", "tuesday", "wednesday", "thursday", "friday",
            "saturday", "sunday")

# What a missing fact could look like, for the message that asks for it.
EXAMPLE = {
    "name": "Riverside Party 2027",
    "edition": "Summer Edition",
    "dates": "Friday 6 - Sunday 8 August 2027",
    "place": "Town hall, Market square 1, Riverton, Ostland",
    "summary": "Three days of demos, music and pixels by the river.",
}
DERIVED_FROM = {"year": "dates", "short_dates": "dates", "town": "place",
                "country": "place"}

# Letters the glyph font lacks, as the captions write them.
FOLD = {"ß": "ss", "ø": "o", "Ø": "O", "ł": "l", "Ł": "L", "æ": "ae",
        "Æ": "AE", "œ": "oe", "Œ": "OE", "đ": "d", "Đ": "D", "ð": "d",
        "Ð": "D", "þ": "th", "Þ": "Th", "ħ": "h", "Ħ": "H", "ı": "i",
        "ŀ": "l", "Ŀ": "L", "ĸ": "k", "ŉ": "n", "ŋ": "n", "Ŋ": "N",
        "ſ": "s", "ŧ": "t", "Ŧ": "T"}


class Problems:
    """Problems found in a party folder, in the order found."""

    def __init__(self):
        self.items = []

    def add(self, path, message, line=None, column=None):
        where = path
        if line is not None:
            where += ":%d" % line
            if column is not None:
                where += ":%d" % column
        self.items.append("%s: %s" % (where, message))

    def __bool__(self):
        return bool(self.items)


def lettering_char(ch):
    if ch.isascii():
        return ch.isalnum() or ch in LETTERING_SIGNS
    return "\u00c0" <= ch <= "\u017f" and ch.isalpha() and ch not in NOT_LETTERS


def fold_ascii(text):
    """The text in the glyph font's characters: accents dropped, the
    letters without a decomposition spelled out."""
    out = []
    for ch in text:
        ch = FOLD.get(ch, ch)
        out.append("".join(c for c in unicodedata.normalize("NFKD", ch)
                           if not unicodedata.combining(c)))
    return "".join(out)


class Party:
    """The facts of one party folder, required and derived."""

    def __init__(self, folder):
        self.folder = folder
        self.facts = {}
        self.lines = {}          # key -> line number in party.txt
        self.columns = {}        # key -> column where its value starts
        self.empty = set()       # keys written without a value

    @property
    def facts_file(self):
        return os.path.join(self.folder, "party.txt")

    def page_file(self, page):
        return os.path.join(self.folder, "pages", page + ".txt")

    def __getitem__(self, key):
        return self.facts[key]

    # ------------------------------------------------------------ derived

    def title_parts(self):
        """The name as lettered: a chrome part and a gold part (the last
        word when it is a number, else the year)."""
        words = self["name"].upper().split()
        if len(words) > 1 and words[-1].isdigit():
            return " ".join(words[:-1]), words[-1]
        return " ".join(words), self["year"]

    def spaced_edition(self):
        """The edition with its letters set apart: "A B   C D"."""
        return "   ".join(" ".join(w) for w in self["edition"].upper().split())

    def header_line(self, parts=3):
        """Dates and year, town, country: the first parts of them."""
        items = [" ".join(p for p in (self["short_dates"], self["year"]) if p),
                 self["town"], self["country"]][:parts]
        return "  /  ".join(p for p in items if p).upper()

    def date_block(self):
        return [t.upper() for t in (self["short_dates"], self["town"],
                                    self["country"]) if t]


def read_facts(path, problems):
    """Keys and values of party.txt, their line numbers and the columns
    where the values start, and the keys given without a value; None for
    the facts when the file cannot be
    read as text at all (its keys are then not asked for one by one)."""
    facts, lines, columns, empty = {}, {}, {}, set()
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        problems.add(path, "cannot be read (%s); write the five facts "
                     "name, edition, dates, place and summary into it"
                     % e.strerror)
        return None, lines, columns, empty
    try:
        # utf-8-sig: a byte order mark, as some editors write, is dropped
        text = raw.decode("utf-8-sig")
    except UnicodeDecodeError as e:
        line = raw[:e.start].count(b"\n") + 1
        problems.add(path, "not UTF-8 text; save it as UTF-8", line)
        return None, lines, columns, empty
    for n, line in enumerate(text.split("\n"), 1):
        line = line.rstrip("\r")
        if not line.strip() or line.startswith("#"):
            continue
        m = re.match(r"([a-z_]+): *(.*)$", line)
        if not m:
            problems.add(path, 'not a "key: value" line; write it as '
                         '"name: Your Party" (the key in lower case, the '
                         'colon right after it) or start it with #', n, 1)
            continue
        key, value = m.group(1), m.group(2).rstrip()
        if not value:
            problems.add(path, '"%s:" has no value; write it after the colon'
                         % key, n, len(key) + 2)
            empty.add(key)
            continue
        if key not in REQUIRED and key not in OPTIONAL:
            problems.add(path, 'unknown key "%s"; the keys are %s'
                         % (key, ", ".join(REQUIRED + OPTIONAL)), n, 1)
            continue
        if key in facts:
            problems.add(path, '"%s" given twice (first on line %d); keep one'
                         % (key, lines[key]), n, 1)
            continue
        facts[key], lines[key], columns[key] = value, n, m.start(2) + 1
    return facts, lines, columns, empty


def derive(facts):
    """Fill in the optional keys the pictures need from the five facts."""
    dates = facts.get("dates", "")
    if "year" not in facts:
        years = re.findall(r"\b(\d{4})\b", dates)
        facts["year"] = years[-1] if years else ""
    if "short_dates" not in facts:
        short = re.sub(r"\b(%s)\b,?" % "|".join(WEEKDAYS), "", dates,
                       flags=re.IGNORECASE)
        short = re.sub(r",?\s*\b\d{4}\b", "", short)
        facts["short_dates"] = " ".join(short.split()).strip(" ,")
    parts = [p.strip() for p in facts.get("place", "").split(",") if p.strip()]
    if "town" not in facts:
        facts["town"] = parts[-2] if len(parts) >= 2 else (parts[0] if parts else "")
    if "country" not in facts:
        facts["country"] = parts[-1] if len(parts) >= 2 else ""
    if "captions" not in facts:
        # the dates with as much of the place as the caption strip holds
        third = facts["short_dates"]
        for more in ((facts["town"], facts["country"]), (facts["town"],)):
            line = ", ".join(p for p in (facts["short_dates"],) + more if p)
            if len(fold_ascii(line)) <= CAPTION_MAX:
                third = line
                break
        facts["captions"] = " | ".join((facts.get("name", ""),
                                        facts.get("edition", ""), third))
    facts.setdefault("caption_x", "")
    facts.setdefault("site", "")
    facts.setdefault("music", "")


def caption_lines(party):
    """The opening's three captions as (x, text) in the glyph font."""
    texts = [fold_ascii(t.strip()) for t in party["captions"].split("|")]
    xs = party["caption_x"].split()
    out = []
    for i, text in enumerate(texts):
        if i < len(xs) and xs[i].isdigit():
            x = int(xs[i])
        else:
            x = CAPTION_ALIGN_RIGHT - GLYPH_ADVANCE * len(text)
        out.append((max(x, CAPTION_LEFT), text))
    return out


def check_facts(party, problems):
    path, facts, lines = party.facts_file, party.facts, party.lines
    for key in REQUIRED:
        if not facts.get(key) and key not in party.empty:
            problems.add(path, 'no "%s:" line; add one, for example "%s: %s"'
                         % (key, key, EXAMPLE[key]))
    for key, value in facts.items():
        limit = MAX_LENGTH.get(key)
        if limit and len(value) > limit:
            where = lines.get(key)
            what = ("is %d characters, at most %d fit; shorten it"
                    % (len(value), limit))
            if where is None:
                what += ' or give "%s:" a shorter value of its own' % key
                where = lines.get(DERIVED_FROM.get(key, ""))
            problems.add(path, "%s %s" % (key, what), where)
    name = facts.get("name", "")
    if name and len(name) < MIN_NAME:
        problems.add(path, "name is %d characters, at least %d; lengthen it"
                     % (len(name), MIN_NAME), lines.get("name"))
    for key in ("name", "edition", "year", "short_dates", "town", "country"):
        column = first_bad(facts.get(key, ""), lettering_char)
        if column:
            where = lines.get(key) or lines.get(DERIVED_FROM.get(key, ""))
            problems.add(path, '%s: the lettering cannot draw "%s"; use '
                         "letters, digits and %s" % (key, facts[key][column - 1],
                                                      "".join(sorted(LETTERING_SIGNS)).strip()),
                         where, party.columns[key] + column - 1 if key in lines else None)
    check_captions(party, problems)
    xs = facts.get("caption_x", "").split()
    if any(not x.isdigit() for x in xs):
        problems.add(path, "caption_x: give up to three whole numbers "
                     "(left edges in pixels)", lines.get("caption_x"))


def check_captions(party, problems):
    path = party.facts_file
    texts = party["captions"].split("|")
    where = party.lines.get("captions") or party.lines.get("name")
    if len(texts) != CAPTION_LINES:
        problems.add(path, "captions: give %d lines separated by |"
                     % CAPTION_LINES, where)
        return
    for x, text in caption_lines(party):
        # derived captions hold folded lettering, checked with its fact
        bad = "captions" in party.lines and first_bad(text, lambda c: c in GLYPH_FONT)
        if bad:
            problems.add(path, 'captions: "%s" cannot be shown by the glyph '
                         "font; use printable ASCII" % text[bad - 1], where)
        if x + GLYPH_ADVANCE * len(text) > CAPTION_RIGHT:
            problems.add(path, 'captions: "%s" is too long for the caption '
                         'strip (%d characters from x = %d); give "captions:" '
                         "shorter lines, at most %d characters"
                         % (text, len(text), x, CAPTION_MAX), where)


def first_bad(text, allowed):
    """Column (1-based) of the first character not allowed, or 0."""
    for i, ch in enumerate(text, 1):
        if not allowed(ch):
            return i
    return 0



# ---------------------------------------------------------------- pages

def check_pages(party, problems):
    """The four pages exist (their lines are checked as they are laid out,
    by gen_pages)."""
    for page in PAGES:
        path = party.page_file(page)
        if not os.path.isfile(path):
            problems.add(path, "missing; write the %s page as plain text" % page)


# ---------------------------------------------------------------- folder

def music_file(party, problems=None):
    """The party's music file, or None for the invitation's own soundtrack."""
    if party.facts.get("music"):
        path = os.path.join(party.folder, party["music"])
        if not os.path.isfile(path) and problems is not None:
            problems.add(party.facts_file, "music: %s does not exist; name a "
                         "file in the party folder" % party["music"],
                         party.lines.get("music"))
        return path
    sounds = sorted(f for f in os.listdir(party.folder)
                    if f.rsplit(".", 1)[-1].lower() in MUSIC_EXTENSIONS)
    found = [f for f in sounds if f.rsplit(".", 1)[0].lower() == "music"]
    if len(found) > 1 and problems is not None:
        problems.add(party.folder, "several music files (%s); keep one"
                     % ", ".join(found))
    if not found and sounds and problems is not None:
        # a song under its own name would otherwise be passed over silently
        problems.add(os.path.join(party.folder, sounds[0]), "the music must "
                     'be named music.%s (or named by "music:" in party.txt); '
                     "rename it" % sounds[0].rsplit(".", 1)[-1].lower())
    return os.path.join(party.folder, found[0]) if found else None


def load(folder):
    """(Party, Problems) of a folder: facts read, derived and checked."""
    problems = Problems()
    party = Party(folder)
    if not os.path.isdir(folder):
        problems.add(folder, "not a folder; give the party folder")
        return party, problems
    facts, party.lines, party.columns, party.empty = read_facts(party.facts_file, problems)
    if facts is not None:
        party.facts = facts
        derive(party.facts)
        check_facts(party, problems)
    check_pages(party, problems)
    music_file(party, problems)
    return party, problems


def main(argv):
    if len(argv) != 3 or argv[1] not in ("check", "facts"):
        print("usage: party.py check|facts PARTY_DIR", file=sys.stderr)
        return 2
    party, problems = load(argv[2])
    if argv[1] == "facts":
        for key in REQUIRED + OPTIONAL:
            print("%s: %s" % (key, party.facts.get(key, "")))
    for p in problems.items:
        print(p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
