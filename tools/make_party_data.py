#!/usr/bin/env python3
"""Make the data folder of a party: every file the program reads (and
web/party.txt for the web page), from a party folder.

Usage: make_party_data.py PARTY_DIR OUT_DIR [--cache DIR] [--check-only]

First the whole folder is checked and every problem printed as
"FILE:LINE:COLUMN: what is wrong; what to do" (exit 1, nothing written).
Then the files are made in steps; with --cache, a step whose inputs (its
generator's code, the facts it draws, the party files it reads) have not
changed since the last run with the same cache is not made again.  Steps
run two at a time.  OUT_DIR receives the finished files.
"""
import concurrent.futures
import hashlib
import json
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import debian_python  # noqa: E402

debian_python.ensure("numpy", "PIL")
from PIL import Image  # noqa: E402

import gen_art  # noqa: E402
import gen_campath  # noqa: E402
import gen_facts  # noqa: E402
import gen_fonts  # noqa: E402
import gen_music  # noqa: E402
import gen_pages  # noqa: E402
import gen_short_font  # noqa: E402
import imgutil as iu  # noqa: E402
import party as pt  # noqa: E402
import party_music  # noqa: E402

TOOLS = os.path.dirname(os.path.abspath(__file__))
ART_CODE = ("gen_art.py", "imgutil.py", "lettering.py", "party.py")
JOBS = 2
SCREEN = (640, 480)
# A logo of another size with the screen's shape is scaled to it; the
# loading screen is not (the program draws its bar at fixed pixels).
SCALABLE = {"logo.png"}
PICTURE_FORMATS = ("PNG", "JPEG")
BUTTON_FILES = tuple("on_%s.png" % b[0] for b in gen_art.BUTTONS)


# ---------------------------------------------------------------- check

def picture_problem(path, name):
    try:
        with Image.open(path) as im:
            kind, size = im.format, im.size
            im.load()
    except (OSError, ValueError) as e:
        return "%s: not a picture that can be read (%s); save it as PNG" % (path, e)
    if kind not in PICTURE_FORMATS:
        return "%s: a %s picture; save it as PNG" % (path, kind)
    if size == SCREEN:
        return None
    if name in SCALABLE and size[0] * 3 == size[1] * 4:
        return None
    shape = "of the same 4:3 shape (it is scaled)" if name in SCALABLE else "exactly"
    return ("%s: %d x %d pixels; make it %s %d x %d pixels"
            % (path, size[0], size[1], shape, SCREEN[0], SCREEN[1]))


def check(party_dir):
    """(party, every problem of the folder as printable lines)."""
    party, found = pt.load(party_dir)
    problems = list(found.items)
    if not os.path.isdir(party_dir):
        return party, problems
    problems += gen_pages.build_pages(party_dir)[1]
    if all(party.facts.get(k) for k in pt.REQUIRED) and not found:
        problems += ["%s: %s; shorten it" % (party.facts_file, p)
                     for p in gen_art.fit_problems(party)]
    for name in pt.PICTURES:
        path = os.path.join(party_dir, name)
        if os.path.exists(path):
            why = picture_problem(path, name)
            if why:
                problems.append(why)
    music = pt.music_file(party)
    if music and not os.path.isfile(music):
        problems.append("%s: not a file that can be read; put the music file "
                        "itself there" % music)
    elif music:
        why = party_music.problem(music)
        if why:
            problems.append(why)
    return party, problems


# ---------------------------------------------------------------- steps

def own_picture(party_dir, name, out_dir):
    path = os.path.join(party_dir, name)
    with Image.open(path) as im:
        im = im.convert("RGB")
        if im.size != SCREEN:
            im = im.resize(SCREEN, Image.LANCZOS)
        iu.save_png(iu.np.asarray(im), os.path.join(out_dir, name))


def art_step(make, name):
    def run(party, out_dir):
        if os.path.exists(os.path.join(party.folder, name)):
            own_picture(party.folder, name, out_dir)
        else:
            iu.save_png(make(party), os.path.join(out_dir, name))
    return run


def make_panel(party, out_dir):
    panel, _lit = gen_art.panel_pictures(party, lit_buttons=False)
    iu.save_png(panel, os.path.join(out_dir, "panel.png"))


def make_buttons(party, out_dir):
    for name, pic in gen_art.panel_pictures(party)[1].items():
        iu.save_png(pic, os.path.join(out_dir, name))


def make_static_art(_party, out_dir):
    for name, make in (("on_load.png", gen_art.make_loadbar),
                       ("mouse.png", gen_art.make_mouse),
                       ("chrome.png", gen_art.make_chrome)):
        iu.save_png(make(), os.path.join(out_dir, name))


def make_music(party, out_dir):
    music = pt.music_file(party)
    if music:
        party_music.convert(music, os.path.join(out_dir, "qtn.mp3"))
    else:
        gen_music.main(["gen_music.py", out_dir])


def make_pages(party, out_dir):
    pages, _problems = gen_pages.build_pages(party.folder)
    for page, data in pages.items():
        with open(os.path.join(out_dir, page + ".txt"), "wb") as f:
            f.write(data)


# name: (outputs, generator code, facts drawn, party files read, maker)
TITLE = ("name", "year")
HEADER = TITLE + ("edition", "short_dates", "town", "country")
STEPS = {
    "fonts": (("fonts.png",), ("gen_fonts.py", "imgutil.py"), (), (),
              lambda _p, out: gen_fonts.main(["gen_fonts.py", out])),
    "short_font": (("short.fnt",), ("gen_short_font.py",), (), (),
                   lambda _p, out: gen_short_font.main(["gen_short_font.py", out])),
    "campath": (("uv.cam",), ("gen_campath.py",), (), (),
                lambda _p, out: gen_campath.main(["gen_campath.py", out])),
    "static_art": (("on_load.png", "mouse.png", "chrome.png"), ART_CODE, (), (),
                   make_static_art),
    "logo": (("logo.png",), ART_CODE, TITLE + ("edition",), ("logo.png",),
             art_step(gen_art.make_logo, "logo.png")),
    "loading": (("loading.png",), ART_CODE, TITLE, ("loading.png",),
                art_step(gen_art.make_loading, "loading.png")),
    "panel": (("panel.png",), ART_CODE, HEADER, (), make_panel),
    # cut from the panel where no lettering reaches: no fact changes them
    "buttons": (BUTTON_FILES, ART_CODE, (), (), make_buttons),
    "textpanel": (("textpanel.png",), ART_CODE, HEADER, (),
                  art_step(gen_art.make_textpanel, "textpanel.png")),
    "pages": (tuple(p + ".txt" for p in gen_pages.PAGES), ("gen_pages.py", "party.py"), (),
              tuple("pages/%s.txt" % p for p in gen_pages.PAGES), make_pages),
    "facts": (("captions.txt", "web/party.txt"), ("gen_facts.py", "party.py"),
              pt.REQUIRED + ("captions", "caption_x", "short_dates", "town", "country"), (),
              lambda p, out: gen_facts.write(p, out)),
    "music": (("qtn.mp3",), ("party_music.py", "gen_music.py"), (), (), make_music),
}


SLOWEST_FIRST = ("music", "panel", "buttons", "textpanel", "logo", "loading",
                 "static_art", "fonts")


def signature(party, step):
    """Hash of everything a step's output depends on."""
    _outputs, code, facts, files, _make = STEPS[step]
    h = hashlib.sha256(step.encode())
    for name in code:
        with open(os.path.join(TOOLS, name), "rb") as f:
            h.update(f.read())
    h.update(json.dumps([party.facts.get(k, "") for k in facts]).encode())
    inputs = [os.path.join(party.folder, f) for f in files]
    if step == "music":
        inputs.append(pt.music_file(party) or "")
    for path in inputs:
        h.update(path.encode())
        if os.path.isfile(path):
            with open(path, "rb") as f:
                h.update(hashlib.sha256(f.read()).digest())
    return h.hexdigest()


def run_step(party_dir, step, out_dir):
    """Make one step's files (in a worker process)."""
    party, _problems = pt.load(party_dir)
    STEPS[step][4](party, out_dir)
    return step


def make(party, cache_dir):
    """Make the stale steps into cache_dir; returns the steps made."""
    os.makedirs(os.path.join(cache_dir, "web"), exist_ok=True)
    stamps_file = os.path.join(cache_dir, ".stamps.json")
    try:
        with open(stamps_file) as f:
            stamps = json.load(f)
    except (OSError, ValueError):
        stamps = {}
    wanted = {s: signature(party, s) for s in STEPS}
    stale = [s for s in STEPS if stamps.get(s) != wanted[s]
             or not all(os.path.exists(os.path.join(cache_dir, o)) for o in STEPS[s][0])]
    for s in stale:
        stamps.pop(s, None)
    # the longest steps first, so that two workers finish together
    stale.sort(key=lambda s: SLOWEST_FIRST.index(s) if s in SLOWEST_FIRST else len(SLOWEST_FIRST))
    with concurrent.futures.ProcessPoolExecutor(JOBS) as pool:
        jobs = [pool.submit(run_step, party.folder, s, cache_dir) for s in stale]
        for job in concurrent.futures.as_completed(jobs):
            s = job.result()
            stamps[s] = wanted[s]
            with open(stamps_file, "w") as f:
                json.dump(stamps, f, indent=1, sort_keys=True)
    return stale


def copy_out(cache_dir, out_dir):
    for step in STEPS.values():
        for name in step[0]:
            dst = os.path.join(out_dir, name)
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copyfile(os.path.join(cache_dir, name), dst)


def main(argv):
    args = argv[1:]
    cache = None
    check_only = "--check-only" in args
    if check_only:
        args.remove("--check-only")
    if "--cache" in args:
        i = args.index("--cache")
        cache = args[i + 1]
        del args[i:i + 2]
    if len(args) != (1 if check_only else 2):
        print("usage: make_party_data.py PARTY_DIR OUT_DIR [--cache DIR] | "
              "PARTY_DIR --check-only", file=sys.stderr)
        return 2
    party_dir = os.path.abspath(args[0])
    party, problems = check(args[0])
    if problems:
        print("\n".join(problems), file=sys.stderr)
        print("%d problem%s in %s" % (len(problems), "s"[:len(problems) > 1], args[0]),
              file=sys.stderr)
        return 1
    if check_only:
        return 0
    party.folder = party_dir
    with tempfile.TemporaryDirectory() as tmp:
        try:
            made = make(party, cache or tmp)
        except party_music.MusicError as e:
            print("%s\n1 problem in %s" % (e, args[0]), file=sys.stderr)
            return 1
        print("made: %s" % (" ".join(made) or "nothing, all up to date"))
        os.makedirs(args[1], exist_ok=True)
        copy_out(cache or tmp, args[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
