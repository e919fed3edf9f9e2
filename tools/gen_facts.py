#!/usr/bin/env python3
"""Write the files that carry a party's facts as text:

  captions.txt    the opening's three caption lines, "X TEXT" (X: the left
                  edge on screen), CR LF lines closed by "END" as a page is
  web/party.txt   the five facts for the web page's text and its link
                  preview (read by cmake/webindex.cmake; not packed)

Usage: gen_facts.py OUT_DIR [PARTY_DIR]  (default: party/)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import party as pt  # noqa: E402

WEB_HEADER = """\
# The party's facts for the web page's text and its link preview (read by
# cmake/webindex.cmake at build time; this folder is not packed into pak.pak).
# One "key: value" a line; lines starting with # are comments.
"""


def web_facts(party):
    return WEB_HEADER + "".join("%s: %s\n" % (k, party[k]) for k in pt.REQUIRED)


def captions(party):
    lines = ["%d %s" % xt for xt in pt.caption_lines(party)] + ["END"]
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def write(party, out_dir):
    with open(os.path.join(out_dir, "captions.txt"), "wb") as f:
        f.write(captions(party))
    os.makedirs(os.path.join(out_dir, "web"), exist_ok=True)
    with open(os.path.join(out_dir, "web", "party.txt"), "w", encoding="utf-8",
              newline="\n") as f:
        f.write(web_facts(party))


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else "data"
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    party, problems = pt.load(argv[2] if len(argv) > 2 else os.path.join(root, "party"))
    if problems:
        print("\n".join(problems.items), file=sys.stderr)
        return 1
    write(party, out_dir)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
