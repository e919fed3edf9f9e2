#!/usr/bin/env python3
"""Turn the page sources in tools/pages/ into the program's page files.

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

PAGES = ("info", "compo", "contact", "credits")
PAGE_WIDTH = 38          # columns the text area holds
LEADER_WIDTH = 36
ALLOWED = set(chr(c) for c in range(32, 127)) - {"_", "`"}


class PageError(ValueError):
    pass


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
            raise PageError("no room for leaders in %r" % src)
        return left + "." * dots + right
    return src.rstrip()


def escape(text):
    return text.replace("%", "%%")


def validate_line(line, where):
    if len(line) > PAGE_WIDTH:
        raise PageError("%s: %d characters (max %d): %r"
                        % (where, len(line), PAGE_WIDTH, line))
    bad = sorted(set(ch for ch in line if ch not in ALLOWED))
    if bad:
        raise PageError("%s: characters not allowed %r" % (where, bad))
    if line.startswith("END"):
        raise PageError("%s: a text line may not start with END" % where)
    if line.replace("%%", "").count("%"):
        raise PageError("%s: lone %% sign" % where)


def build_page(source_text, name="page"):
    """Bytes of a page file from its source text."""
    lines = source_text.split("\n")
    while lines and lines[-1].strip() == "":
        lines.pop()
    out = []
    for n, src in enumerate(lines, 1):
        line = escape(layout_line(src))
        validate_line(line, "%s line %d" % (name, n))
        out.append(line)
    out.append("END")
    return "".join(line + "\r\n" for line in out).encode("ascii")


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else "data"
    src_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")
    for page in PAGES:
        with open(os.path.join(src_dir, page + ".txt"), encoding="ascii") as f:
            data = build_page(f.read(), page)
        with open(os.path.join(out_dir, page + ".txt"), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
