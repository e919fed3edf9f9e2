#!/usr/bin/env python3
"""Fitting lettering into boxes.

A piece of lettering is placed by a function of the type size that
returns its items: (coverage layer, ink box (x, y, w, h), halo), the halo
being how far its glow or outline reaches past the ink.  fit() tries the
layouts it is given in turn (for example one line, then two lines), each
from its largest size down to its smallest, and returns the items of the
first that keeps every item, halo included, inside the box: lettering is
made smaller or broken into lines, never clipped.  Lettering whose extent
is small enough for the box but placed past its edge (a J or a cedilla
reaching below the baseline, say) is moved into it by whole pixels.
"""
import numpy as np

# Each try shrinks the type at least this much.
SHRINK_STEP = 0.97


class FitError(ValueError):
    pass


def halo(radius):
    """Reach in pixels of imgutil.blur(mask, radius) past the mask: three
    box passes of radius round(radius / 1.7)."""
    if radius <= 0:
        return 0
    return 3 * max(1, int(round(radius / 1.7)))


def extent(items):
    """(x0, y0, x1, y1) covered by the items with their halos, x1 and y1
    exclusive."""
    x0 = min(b[0] - h for _m, b, h in items)
    y0 = min(b[1] - h for _m, b, h in items)
    x1 = max(b[0] + b[2] + h for _m, b, h in items)
    y1 = max(b[1] + b[3] + h for _m, b, h in items)
    return x0, y0, x1, y1


def inside(ext, box):
    return (ext[0] >= box[0] and ext[1] >= box[1]
            and ext[2] <= box[2] and ext[3] <= box[3])


def shifted(mask, dx, dy):
    """The coverage layer moved by whole pixels, zeros where it uncovers."""
    out = np.zeros_like(mask)
    h, w = mask.shape[:2]
    out[max(dy, 0):h + min(dy, 0), max(dx, 0):w + min(dx, 0)] = \
        mask[max(-dy, 0):h + min(-dy, 0), max(-dx, 0):w + min(-dx, 0)]
    return out


def moved_inside(items, ext, box):
    """The items moved the least whole pixels that bring ext inside box, or
    None when ext is larger than the box."""
    if ext[2] - ext[0] > box[2] - box[0] or ext[3] - ext[1] > box[3] - box[1]:
        return None
    dx = max(box[0] - ext[0], 0) + min(box[2] - ext[2], 0)
    dy = max(box[1] - ext[1], 0) + min(box[3] - ext[3], 0)
    dx, dy = int(np.floor(dx)) if dx < 0 else int(np.ceil(dx)), \
        int(np.floor(dy)) if dy < 0 else int(np.ceil(dy))
    return [(shifted(m, dx, dy), (b[0] + dx, b[1] + dy, b[2], b[3]), h)
            for m, b, h in items]


def fit(box, layouts, what):
    """Items of the first layout (place, largest, smallest) that fits box
    at some size from largest down to smallest."""
    for place, size, smallest in layouts:
        while True:
            items = place(size)
            ext = extent(items)
            if inside(ext, box):
                return items
            moved = moved_inside(items, ext, box)
            if moved is not None and inside(extent(moved), box):
                return moved
            if size <= smallest:
                break
            over = max((ext[2] - ext[0]) / max(box[2] - box[0], 1),
                       (ext[3] - ext[1]) / max(box[3] - box[1], 1))
            size = max(smallest, size * min(SHRINK_STEP, 1.0 / over))
    raise FitError("%s does not fit the %d x %d pixel box at x %d, y %d"
                   % (what, box[2] - box[0], box[3] - box[1], box[0], box[1]))


def split_words(text):
    """Two lines of about the same length, broken at a space, or None for
    a single word."""
    words = text.split()
    if len(words) < 2:
        return None
    best = None
    for i in range(1, len(words)):
        a, b = " ".join(words[:i]), " ".join(words[i:])
        cost = abs(len(a) - len(b))
        if best is None or cost < best[0]:
            best = (cost, a, b)
    return best[1], best[2]
