"""Small helpers shared by the picture generators."""
import os

import numpy as np
from PIL import Image

FONT_DIRS = ("/usr/share/fonts", "/usr/local/share/fonts")


def find_font(name):
    """Full path of a TrueType file shipped by a system font package."""
    for root_dir in FONT_DIRS:
        for root, _dirs, files in os.walk(root_dir):
            if name in files:
                return os.path.join(root, name)
    raise SystemExit("font %s not found: install fonts-dejavu-core" % name)


def to_u8(a):
    return np.clip(np.rint(a), 0, 255).astype(np.uint8)


def save_png(rgb, path):
    """Write an 8-bit RGB PNG without any ancillary chunk (no time stamp,
    no text), so the same pixels always give the same bytes."""
    if rgb.dtype != np.uint8:
        rgb = to_u8(rgb)
    img = Image.fromarray(rgb[:, :, :3], "RGB")
    img.save(path, "PNG", optimize=False, compress_level=9)


def load_rgb(path):
    return np.asarray(Image.open(path).convert("RGB"))
