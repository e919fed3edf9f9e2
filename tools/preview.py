#!/usr/bin/env python3
"""The preview sheet of a party's invitation: the capture tool plays it on
its data at 10 frames a second with a scripted visit of every page, and the
chosen frames are laid out, full size, four to a row:

    loading | first caption | third caption | menu
    info    | compo         | contact       | credits

Usage: preview.py CAPTURE_TOOL DATA_DIR OUT.png [--video FILE.mp4]
(--video: also the whole visit as a video, at 30 frames a second.)
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import debian_python  # noqa: E402

debian_python.ensure("PIL")
from PIL import Image  # noqa: E402

FPS = 10
# Frames at 10 frames a second: the loading bar half full, the first and
# third captions at full strength (7 s and 15 s into the music), the menu
# in full view (from frame 191).
LOADING, CAPTION_1, CAPTION_3, MENU = 12, 70, 150, 200
# The pointer starts at (320, 240); each page's button is a move away.
# After a click, the page's cross-fade takes 17 frames.
PAGE_MOVES = (-61, 38, 35, 36)     # to info, compo, contact, credits
PAGE_STEP, SHOW_AFTER = 50, 22
COLUMNS = 4
CELL = (640, 480)


def session():
    """The input script and the frames to keep."""
    lines, shots = [], []
    for i, dy in enumerate(PAGE_MOVES):
        at = MENU + 1 + i * PAGE_STEP
        lines += ["%d move 0 %d" % (at, dy), "%d down left" % (at + 1),
                  "%d up left" % (at + 2), "%d down right" % (at + SHOW_AFTER + 1),
                  "%d up right" % (at + SHOW_AFTER + 2)]
        shots.append(at + SHOW_AFTER)
    lines.append("%d key 27" % (MENU + 1 + len(PAGE_MOVES) * PAGE_STEP))
    return "\n".join(lines) + "\n", [LOADING, CAPTION_1, CAPTION_3, MENU] + shots


def capture(tool, data_dir, script, frames, out_dir, fps=FPS, video=None):
    cmd = [tool, "--data", data_dir, "--fps", str(fps), "--input", script,
           "--out", out_dir]
    if video:
        cmd += ["--video", video]
    else:
        cmd += ["--save", ",".join(str(f) for f in frames)]
    run = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    last = run.stdout.strip().splitlines()[-1:] or [""]
    if run.returncode != 0 or not last[0].startswith("ended: exit code 0"):
        sys.exit("the capture tool failed: %s%s" % (last[0], run.stderr))


def sheet(frames_dir, frames, out):
    rows = (len(frames) + COLUMNS - 1) // COLUMNS
    img = Image.new("RGB", (CELL[0] * COLUMNS, CELL[1] * rows))
    for i, f in enumerate(frames):
        with Image.open(os.path.join(frames_dir, "frame_%06d.png" % f)) as im:
            img.paste(im, ((i % COLUMNS) * CELL[0], (i // COLUMNS) * CELL[1]))
    img.save(out, "PNG", compress_level=1)


def main(argv):
    args = argv[1:]
    video = None
    if "--video" in args:
        i = args.index("--video")
        video = args[i + 1]
        del args[i:i + 2]
    if len(args) != 3:
        print("usage: preview.py CAPTURE_TOOL DATA_DIR OUT.png [--video FILE]",
              file=sys.stderr)
        return 2
    tool, data_dir, out = args
    script, frames = session()
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "session.txt")
        with open(path, "w") as f:
            f.write(script)
        capture(tool, data_dir, path, frames, tmp)
        sheet(tmp, frames, out)
        if video:
            # the same visit at three times the frame rate
            with open(path, "w") as f:
                f.write("".join("%d %s\n" % (int(l.split(" ", 1)[0]) * 3, l.split(" ", 1)[1])
                                for l in script.splitlines()))
            capture(tool, data_dir, path, frames, tmp, fps=3 * FPS, video=video)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
