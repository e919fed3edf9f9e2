"""The invitation's screen layout, read from layout.json at the top of the
source tree: the one place its numbers are written (the program reads them
through a header the build writes from the same file).

Every value is in screen pixels; boxes are (x0, y0, x1, y1), x1 and y1
exclusive; buttons are (name, label, x, y, width, height).
"""
import json
import os

PATH = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                    "layout.json")


class LayoutError(ValueError):
    pass


def _int(value, where):
    if isinstance(value, bool) or not isinstance(value, int):
        raise LayoutError("%s is %r; write a whole number" % (where, value))
    return value


def _member(obj, key, where):
    if not isinstance(obj, dict):
        raise LayoutError("%s is %r; write an object with %r" % (where, obj, key))
    if key not in obj:
        raise LayoutError("%s.%s is missing" % (where, key))
    return obj[key]


def _ints(obj, keys, where):
    return tuple(_int(_member(obj, k, where), "%s.%s" % (where, k)) for k in keys)


def load(path=PATH):
    """The layout as plain Python values (see the module's text); a file
    that is no JSON, or a missing or mistyped value, raises LayoutError
    naming the file and the value."""
    try:
        with open(path, encoding="utf-8") as f:
            return _values(json.load(f))
    except (LayoutError, ValueError) as e:
        raise LayoutError("%s: %s" % (path, e)) from None


def _values(raw):
    buttons = []
    for i, b in enumerate(_member(raw, "buttons", "layout")):
        where = "buttons[%d]" % i
        buttons.append((str(_member(b, "name", where)), str(_member(b, "label", where)))
                       + _ints(b, ("x", "y", "width", "height"), where))
    caption = _member(raw, "caption_strip", "layout")
    return {
        "screen": _ints(_member(raw, "screen", "layout"), ("width", "height"), "screen"),
        "header_rows": _int(_member(raw, "header_rows", "layout"), "header_rows"),
        "buttons": buttons,
        "window3d": _ints(_member(raw, "window3d", "layout"), ("x", "y", "width", "height"),
                          "window3d"),
        "loading_bar": _ints(_member(raw, "loading_bar", "layout"),
                             ("x", "y", "width", "height"), "loading_bar"),
        "caption_box": _ints(caption, ("x0", "y0", "x1", "y1"), "caption_strip"),
        "glyph_advance": _int(_member(caption, "glyph_advance", "caption_strip"),
                              "caption_strip.glyph_advance"),
        "pointer_start": _ints(_member(raw, "pointer_start", "layout"), ("x", "y"),
                               "pointer_start"),
        "pages": [str(p) for p in _member(raw, "pages", "layout")],
    }


_LAYOUT = load()
SCREEN = _LAYOUT["screen"]
HEADER_ROWS = _LAYOUT["header_rows"]
BUTTONS = _LAYOUT["buttons"]
WINDOW3D = _LAYOUT["window3d"]
LOADING_BAR = _LAYOUT["loading_bar"]
CAPTION_BOX = _LAYOUT["caption_box"]
GLYPH_ADVANCE = _LAYOUT["glyph_advance"]
PAGES = _LAYOUT["pages"]
