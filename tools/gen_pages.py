#!/usr/bin/env python3
"""Turn a party's page sources (PARTY_DIR/pages/) into the program's page
files.  Usage: gen_pages.py OUT_DIR [PARTY_DIR]  (default: party/).

Source lines are plain text with two layout marks of our own, both using
'_' (a character the glyph font cannot show, so it never occurs in page
text):
  * a line starting with '_' is centred on the page width;
  * 'left_right' becomes "left ..... right", dot leaders filling the line
    to LEADER_WIDTH columns.
A '%' is written as "%%" because the program prints each line as a
printf format.  Every line ends with CR LF and the page closes with an
"END" line.
"""
import os
import sys

import party as pt

PAGES = pt.PAGES
PAGE_WIDTH = 38          # columns the text area holds
LEADER_WIDTH = 36
PAGE_LINES = 1000        # lines the program keeps of a page (END aside)
ALLOWED = pt.GLYPH_FONT


class PageError(ValueError):
    """A line the program cannot show; column is 1-based, or None."""

    def __init__(self, message, column=None):
        super().__init__(message)
        self.column = column


def layout_line(src):
    """Apply the layout marks to one source line (no escaping yet)."""
    if src.startswith("_"):
        text = src[1:].strip()
        pad = (PAGE_WIDTH - len(text)) // 2
        return " " * max(pad, 0) + text
    if "_" in src:
        left, right = src.split("_", 1)
        left = left.rstrip() + " "
        right = " " + right.strip()
        dots = LEADER_WIDTH - len(left) - len(right)
        if dots < 2:
            raise PageError("no room for the dot leaders (%d characters on "
                            "both sides, at most %d); shorten a side"
                            % (len(left) + len(right), LEADER_WIDTH - 2))
        return left + "." * dots + right
    return src.rstrip()


def escape(text):
    return text.replace("%", "%%")


def validate_line(line, where):
    shown = len(line.replace("%%", "%"))   # the program shows "%%" as "%"
    if shown > PAGE_WIDTH:
        raise PageError("%s: %d characters, at most %d fit a page line; "
                        "break the line" % (where, shown, PAGE_WIDTH),
                        PAGE_WIDTH + 1)
    bad = [ch for ch in line if ch not in ALLOWED]
    if bad:
        raise PageError("%s: the page font has no %r (U+%04X); use printable "
                        "ASCII without ` and _" % (where, bad[0], ord(bad[0])))
    if line.startswith("END"):
        raise PageError("%s: a text line may not start with END; reword it"
                        % where, 1)
    if line.replace("%%", "").count("%"):
        raise PageError("%s: lone %% sign" % where)


def build_page(source_text, name="page", problems=None):
    """Bytes of a page file from its source text.  A line the program
    cannot show raises PageError, or, given a list of problems, is added
    to it as (line, column, message) and the next line is checked."""
    lines = source_text.split("\n")
    while lines and lines[-1].strip() == "":
        lines.pop()
    out = []
    for n, src in enumerate(lines, 1):
        try:
            line = escape(layout_line(src.rstrip("\r")))
            validate_line(line, "%s line %d" % (name, n))
        except PageError as e:
            if problems is None:
                raise
            # the first character the font cannot show, the layout mark aside
            column = e.column or pt.first_bad(
                src, lambda c: c in ALLOWED or c == "_") or None
            problems.append((n, column, str(e).split(": ", 1)[-1]))
            continue
        out.append(line)
    if len(lines) > PAGE_LINES:
        message = ("%d lines, the program shows at most %d; shorten the page"
                   % (len(lines), PAGE_LINES))
        if problems is None:
            raise PageError("%s line %d: %s" % (name, PAGE_LINES + 1, message))
        problems.append((PAGE_LINES + 1, None, message))
    out.append("END")
    return "".join(line + "\r\n" for line in out).encode("ascii")


def build_pages(party_dir):
    """{page: bytes} of a party's four pages and the problems found, as
    "FILE:LINE[:COLUMN]: message" lines."""
    pages, problems = {}, []
    for page in PAGES:
        path = os.path.join(party_dir, "pages", page + ".txt")
        try:
            with open(path, "rb") as f:
                raw = f.read()
        except OSError:
            continue   # a missing page is reported by the folder check
        try:
            # utf-8-sig: a byte order mark, as some editors write, is dropped
            source = raw.decode("utf-8-sig")
        except UnicodeDecodeError as e:
            problems.append("%s:%d: not UTF-8 text; save it as UTF-8"
                            % (path, raw[:e.start].count(b"\n") + 1))
            continue
        found = []
        pages[page] = build_page(source, page, found)
        for line, column, message in found:
            where = "%s:%d" % (path, line)
            if column:
                where += ":%d" % column
            problems.append("%s: %s" % (where, message))
    return pages, problems


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else "data"
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    party_dir = argv[2] if len(argv) > 2 else os.path.join(root, "party")
    pages, problems = build_pages(party_dir)
    if problems or len(pages) != len(PAGES):
        print("\n".join(problems) or "pages missing in " + party_dir,
              file=sys.stderr)
        return 1
    for page, data in pages.items():
        with open(os.path.join(out_dir, page + ".txt"), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
