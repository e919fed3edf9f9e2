"""Small helpers shared by the picture generators: deterministic PNG
output, anti-aliased text masks, blurs, noise and compositing on float
RGB arrays (values 0..255, shape height x width x 3)."""
import os

import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT_DIRS = ("/usr/share/fonts", "/usr/local/share/fonts")
SUPER = 4


def find_font(name):
    """Full path of a TrueType file shipped by a system font package."""
    for root_dir in FONT_DIRS:
        for root, _dirs, files in sorted(os.walk(root_dir)):
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
    img = Image.fromarray(np.ascontiguousarray(rgb[:, :, :3]), "RGB")
    img.save(path, "PNG", optimize=False, compress_level=9)


# ---------------------------------------------------------------- colour

def ramp(t, stops):
    """Colour ramp: t (array, any shape) through [(pos, (r, g, b)), ...]."""
    t = np.asarray(t, dtype=np.float64)
    pos = np.array([p for p, _ in stops], dtype=np.float64)
    cols = np.array([c for _, c in stops], dtype=np.float64)
    out = np.empty(t.shape + (3,))
    for ch in range(3):
        out[..., ch] = np.interp(t, pos, cols[:, ch])
    return out


def smoothstep(e0, e1, x):
    t = np.clip((np.asarray(x, dtype=np.float64) - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def blend(dst, colour, alpha):
    """dst = dst * (1 - alpha) + colour * alpha; alpha is a 2D map or a
    number, colour a 3-vector or an image."""
    a = np.asarray(alpha, dtype=np.float64)
    if a.ndim == 2:
        a = a[:, :, None]
    dst *= (1.0 - a)
    dst += np.asarray(colour, dtype=np.float64) * a
    return dst


def add(dst, colour, amount):
    a = np.asarray(amount, dtype=np.float64)
    if a.ndim == 2:
        a = a[:, :, None]
    dst += np.asarray(colour, dtype=np.float64) * a
    return dst


def screen_add(dst, light):
    """Screen blend of a light layer (0..255) onto dst."""
    dst[:] = 255.0 - (255.0 - dst) * (255.0 - np.clip(light, 0, 255)) / 255.0
    return dst


# ---------------------------------------------------------------- blur

def _box_1d(a, r, axis):
    if r <= 0:
        return a
    n = a.shape[axis]
    pad = [(0, 0)] * a.ndim
    pad[axis] = (r + 1, r)
    p = np.pad(a, pad, mode="edge")
    c = np.cumsum(p, axis=axis)
    hi = np.take(c, np.arange(2 * r + 1, 2 * r + 1 + n), axis=axis)
    lo = np.take(c, np.arange(0, n), axis=axis)
    return (hi - lo) / (2 * r + 1)


def blur(a, radius):
    """Approximate gaussian blur (three box passes) of a 2D or 3D array."""
    a = np.asarray(a, dtype=np.float64)
    if radius <= 0:
        return a.copy()
    r = max(1, int(round(radius / 1.7)))
    out = a
    for _ in range(3):
        out = _box_1d(out, r, 0)
        out = _box_1d(out, r, 1)
    return out


# ---------------------------------------------------------------- noise

def value_noise(shape, cells, rng):
    """Smooth noise in 0..1: a random grid of cells[0] x cells[1] values
    scaled up bicubically to shape (h, w)."""
    h, w = shape
    gh, gw = cells
    grid = rng.random((gh, gw)).astype(np.float32)
    img = Image.fromarray(grid, "F").resize((w, h), Image.BICUBIC)
    return np.clip(np.asarray(img, dtype=np.float64), 0.0, 1.0)


def fractal_noise(shape, base_cells, octaves, rng, persistence=0.5):
    total = np.zeros(shape)
    amp, norm = 1.0, 0.0
    for o in range(octaves):
        cells = (base_cells[0] * 2 ** o + 1, base_cells[1] * 2 ** o + 1)
        total += amp * value_noise(shape, cells, rng)
        norm += amp
        amp *= persistence
    return total / norm


# ---------------------------------------------------------------- text

def load_font(name, size):
    return ImageFont.truetype(find_font(name), int(round(size * SUPER)))


def text_mask(text, font_name, size, tracking=0.0, stretch=1.0):
    """Anti-aliased coverage (0..1) of a line of text.

    Returns (mask, baseline_row, left_bearing): the mask is cropped to the
    ink with a small margin; baseline_row is the row of the baseline
    inside it.  tracking adds pixels between letters, stretch widens the
    letters horizontally."""
    font = load_font(font_name, size)
    s = SUPER
    widths = [font.getlength(ch) for ch in text]
    total = sum(widths) + tracking * s / stretch * max(len(text) - 1, 0)
    ascent, descent = font.getmetrics()
    pad = 4 * s
    w = int(total + 2 * pad)
    h = int(ascent + descent + 2 * pad)
    img = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(img)
    x = float(pad)
    base = pad + ascent
    for ch, cw in zip(text, widths):
        d.text((x, base), ch, font=font, fill=255, anchor="ls")
        x += cw + tracking * s / stretch
    if stretch != 1.0:
        img = img.resize((int(round(w * stretch)), h), Image.LANCZOS)
    lo_w = int(np.ceil(img.width / s))
    lo_h = int(np.ceil(h / s))
    big = Image.new("L", (lo_w * s, lo_h * s), 0)
    big.paste(img, (0, 0))
    lo = big.resize((lo_w, lo_h), Image.BOX)
    m = np.asarray(lo, dtype=np.float64) / 255.0
    rows = np.where(m.max(axis=1) > 0.004)[0]
    cols = np.where(m.max(axis=0) > 0.004)[0]
    if len(rows) == 0:
        return np.zeros((1, 1)), 0, 0
    r0, r1 = max(rows[0] - 1, 0), min(rows[-1] + 2, m.shape[0])
    c0, c1 = max(cols[0] - 1, 0), min(cols[-1] + 2, m.shape[1])
    return m[r0:r1, c0:c1], base / s - r0, c0


def place(mask, shape, x, y):
    """Put a small mask into a zero canvas of shape (h, w) with its top
    left corner at (x, y); parts outside are cut."""
    out = np.zeros(shape)
    h, w = mask.shape
    x0, y0 = max(x, 0), max(y, 0)
    x1, y1 = min(x + w, shape[1]), min(y + h, shape[0])
    if x1 > x0 and y1 > y0:
        out[y0:y1, x0:x1] = mask[y0 - y:y1 - y, x0 - x:x1 - x]
    return out


def text_layer(shape, text, font_name, size, x=None, y=None, cx=None,
               baseline=None, tracking=0.0, stretch=1.0, right=None):
    """Coverage of a text placed on a canvas.  Horizontal position by
    left edge x, centre cx or right edge; vertical by top y or by
    baseline row."""
    m, base, _ = text_mask(text, font_name, size, tracking, stretch)
    h, w = m.shape
    if cx is not None:
        px = int(round(cx - w / 2.0))
    elif right is not None:
        px = int(round(right - w))
    else:
        px = int(x)
    if baseline is not None:
        py = int(round(baseline - base))
    else:
        py = int(y)
    return place(m, shape, px, py), (px, py, w, h)


# ---------------------------------------------------------------- shapes

def coords(shape):
    h, w = shape
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float64)
    return xx, yy


def rounded_rect(shape, x0, y0, x1, y1, radius, soft=1.0):
    """Anti-aliased coverage of a rounded rectangle; x1, y1 exclusive."""
    xx, yy = coords(shape)
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius
    dx = np.maximum(np.abs(xx + 0.5 - cx) - hx, 0.0)
    dy = np.maximum(np.abs(yy + 0.5 - cy) - hy, 0.0)
    dist = np.sqrt(dx * dx + dy * dy) - radius
    return np.clip(0.5 - dist / soft, 0.0, 1.0)


def bevel_light(mask, radius, light=(-0.6, -0.8)):
    """Lighting of a soft height field made from a mask: returns the
    shading term in -1..1 (positive where the slope faces the light)."""
    hgt = blur(mask, radius)
    gy, gx = np.gradient(hgt)
    lx, ly = light
    n = np.sqrt(gx * gx + gy * gy + 1e-4)
    slope = np.clip(n * radius * 1.5, 0.0, 1.0)
    facing = -(gx * lx + gy * ly) / n
    return facing * slope


def sparkle(shape, x, y, size, strength=1.0):
    """Four-pointed star glint (0..1 light) centred on (x, y)."""
    xx, yy = coords(shape)
    dx, dy = xx - x, yy - y
    r2 = dx * dx + dy * dy
    core = np.exp(-r2 / (2.0 * (size * 0.12) ** 2))
    halo = 0.35 * np.exp(-r2 / (2.0 * (size * 0.45) ** 2))
    ray_h = np.exp(-(dy * dy) / 1.2) * np.exp(-np.abs(dx) / (size * 0.5))
    ray_v = np.exp(-(dx * dx) / 1.2) * np.exp(-np.abs(dy) / (size * 0.5))
    return np.clip((core + halo + 0.8 * (ray_h + ray_v)) * strength, 0, 1.5)


def stars(shape, count, rng, max_bright=1.0, mask=None):
    """Star field light (0..1): single pixels with a faint glow."""
    h, w = shape
    out = np.zeros(shape)
    ys = rng.integers(0, h, count)
    xs = rng.integers(0, w, count)
    b = rng.random(count) ** 3 * max_bright
    np.add.at(out, (ys, xs), b)
    glow = blur(out, 1.2) * 2.5
    out = np.clip(out + glow, 0, 1)
    if mask is not None:
        out *= mask
    return out
