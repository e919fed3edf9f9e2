#!/usr/bin/env python3
"""Render the party-independent pictures of the invitation: on_load.png,
the five lit buttons on_*.png, mouse.png and chrome.png, and the base
layers layers/logo.png, layers/loading.png, layers/panel.png and
layers/textpanel.png: those four pictures without the party's lettering,
which the party kit letters (name, edition, dates, place) for each party.

Usage: gen_art.py OUT_DIR [PICTURE ...]   (PICTURE as "layers/logo.png")

The buttons, the 3D window, the progress bar, the caption strip and the
header band sit where layout.json puts them (read through layout.py).

All pictures share one palette: deep blue and violet space, chrome
lettering, gold and cyan accents.  Randomness (stars, clouds) comes from
fixed seeds, so every run writes the same bytes.
"""
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imgutil as iu  # noqa: E402
import layout  # noqa: E402

W, H = layout.SCREEN
SHAPE = (H, W)

SANS_BOLD = "DejaVuSans-Bold.ttf"
SANS = "DejaVuSans.ttf"

GOLD = (255, 196, 82)
GOLD_LIGHT = (255, 234, 168)

# progress bar: drawn by the program on the loading screen, revealed column
# by column in 24 steps
BAR_X, BAR_Y, BAR_W, BAR_H = layout.LOADING_BAR

# 3D window: rendered over the panel pixels and blended at 100/256
WIN_X, WIN_Y, WIN_W, WIN_H = layout.WINDOW3D

# menu buttons: (name, label, x, y, width, height).  Heights keep the hit
# rectangles (x..x+w+2, y..y+h+2) apart; the widths line the right edges
# up at column 396.
BUTTONS = layout.BUTTONS

# the caption strip of the opening, where text is added onto the logo
CAPTION_BOX = layout.CAPTION_BOX

HEADER_ROWS = layout.HEADER_ROWS


# ================================================================ shared

def space_background(seed, brightness=1.0, cloud=1.0):
    """Deep space: vertical gradient, violet and blue clouds, stars."""
    rng = np.random.default_rng(seed)
    xx, yy = iu.coords(SHAPE)
    t = yy / (H - 1)
    img = iu.ramp(t, [(0.0, (4, 5, 18)), (0.55, (12, 11, 40)),
                      (1.0, (5, 6, 22))])
    n1 = iu.fractal_noise(SHAPE, (3, 4), 5, rng)
    n2 = iu.fractal_noise(SHAPE, (2, 3), 5, rng)
    violet = iu.smoothstep(0.42, 0.78, n1) * 0.55 * cloud
    blue = iu.smoothstep(0.45, 0.80, n2) * 0.45 * cloud
    iu.add(img, (58, 22, 96), violet)
    iu.add(img, (14, 40, 96), blue)
    # a little fine grain in the clouds
    fine = iu.fractal_noise(SHAPE, (24, 32), 2, rng)
    img *= (0.92 + 0.16 * fine)[:, :, None]
    st = iu.stars(SHAPE, 900, rng, 1.0)
    iu.add(img, (220, 228, 255), st)
    img *= brightness
    return img


def gold_fill(shape, top, bottom):
    """Gold colours between rows top and bottom: pale, warm, a dark band,
    then light again."""
    _xx, yy = iu.coords(shape)
    t = (yy - top) / max(bottom - top, 1)
    return iu.ramp(t, [
        (0.0, (255, 246, 200)),
        (0.35, (255, 210, 110)),
        (0.55, (236, 150, 46)),
        (0.75, (170, 86, 30)),
        (1.0, (250, 190, 90)),
    ])


def frame_box(img, x0, y0, x1, y1, width=4, radius=5):
    """Bevelled chrome frame around the rectangle x0..x1-1, y0..y1-1."""
    outer = iu.rounded_rect(SHAPE, x0 - width, y0 - width, x1 + width,
                            y1 + width, radius)
    inner = iu.rounded_rect(SHAPE, x0, y0, x1, y1, 1.0)
    ring = np.clip(outer - inner, 0, 1)
    # shadow below the frame
    shadow = np.clip(iu.blur(outer, 6) * 1.2, 0, 1) * 0.7
    iu.blend(img, (0, 0, 4), shadow * (1 - outer))
    _xx, yy = iu.coords(SHAPE)
    metal = iu.ramp((yy - (y0 - width)) / max(y1 - y0 + 2 * width, 1), [
        (0.0, (150, 164, 206)), (0.45, (92, 100, 150)),
        (0.5, (44, 46, 84)), (0.75, (84, 70, 96)), (1.0, (150, 130, 120))])
    shade = iu.bevel_light(outer, 1.6) - 0.6 * iu.bevel_light(inner, 1.2)
    metal = metal + (255 - metal) * np.clip(shade, 0, 1)[:, :, None] * 0.45
    metal = metal * (1 - np.clip(-shade, 0, 1)[:, :, None] * 0.6)
    iu.blend(img, metal, ring)
    return img


def calm_window(img, x0, y0, w, h):
    """Dark backdrop of the 3D window: a soft blue glow in the middle."""
    xx, yy = iu.coords(SHAPE)
    cx, cy = x0 + w / 2.0, y0 + h / 2.0
    d = np.sqrt(((xx - cx) / (w * 0.62)) ** 2 + ((yy - cy) / (h * 0.62)) ** 2)
    col = iu.ramp(d, [(0.0, (26, 30, 70)), (0.6, (14, 16, 44)),
                      (1.2, (5, 6, 20))])
    # faint horizontal lines, like a monitor
    lines = 1.0 - 0.10 * ((yy.astype(int) % 3) == 0)
    col *= lines[:, :, None]
    inside = np.zeros(SHAPE)
    inside[y0:y0 + h, x0:x0 + w] = 1.0
    iu.blend(img, col, inside)
    return img


def header_band(img):
    """Rows 0..49, the same on the menu panel and on the page panel: a
    dark metal strip (the party kit letters the name onto it) and a gold
    rule."""
    _xx, yy = iu.coords(SHAPE)
    band = (yy < HEADER_ROWS).astype(np.float64)
    col = iu.ramp(yy / HEADER_ROWS, [(0.0, (22, 24, 58)), (0.5, (12, 13, 36)),
                                      (0.9, (6, 7, 22)), (1.0, (6, 7, 22))])
    iu.blend(img, col, band)
    # gold rule with a soft glow under it
    rule = np.exp(-((yy - 46.5) ** 2) / 0.6)
    fade = np.clip(1.0 - np.abs(_xx - W / 2) / (W * 0.55), 0.15, 1.0)
    iu.add(img, GOLD, rule * fade * 0.95)
    glow = np.exp(-((yy - 47.0) ** 2) / 8.0) * fade * 0.25
    iu.add(img, (255, 150, 60), glow * (yy < HEADER_ROWS))
    return img


# ================================================================ pictures

def make_logo():
    img = space_background(11, 1.0, 1.1)
    xx, yy = iu.coords(SHAPE)
    # planet: a dark disc whose rim crosses the lower part of the picture
    pcx, pcy, pr = 420.0, 1100.0, 740.0
    d = np.sqrt((xx - pcx) ** 2 + (yy - pcy) ** 2)
    body = np.clip(pr - d + 0.5, 0, 1)
    surf = iu.ramp((d - (pr - 260)) / 260.0, [
        (0.0, (2, 2, 8)), (0.7, (6, 8, 26)), (0.95, (18, 26, 70)),
        (1.0, (40, 60, 130))])
    iu.blend(img, surf, body)
    rim = np.exp(-((d - pr) ** 2) / 6.0)
    atmo = np.exp(-np.maximum(d - pr, 0) / 14.0) * (d > pr - 1)
    inner_glow = np.exp(-np.maximum(pr - d, 0) / 10.0) * (d <= pr)
    # the rim is lit from a sun low on the right
    sun_x = 236.0
    lit = np.clip(1.0 - np.abs(xx - sun_x) / 380.0, 0, 1) ** 1.5
    iu.add(img, (255, 220, 150), rim * (0.35 + 0.65 * lit))
    iu.add(img, (60, 120, 255), atmo * (0.25 + 0.55 * lit))
    iu.add(img, (90, 60, 170), inner_glow * 0.35 * (0.3 + lit))
    # sun flare on the rim
    fy = pcy - math.sqrt(pr ** 2 - (sun_x - pcx) ** 2)
    flare = iu.sparkle(SHAPE, sun_x, fy, 70, 1.0)
    iu.screen_add(img, flare[:, :, None] * np.array([255, 236, 200]))
    halo = np.exp(-((xx - sun_x) ** 2 + (yy - fy) ** 2) / (2 * 60.0 ** 2))
    iu.add(img, (120, 80, 40), halo * 0.5)
    # horizontal lens streak
    streak = np.exp(-((yy - fy) ** 2) / 2.0) * np.exp(-np.abs(xx - sun_x) / 160)
    iu.add(img, (120, 170, 255), streak * 0.6)
    # keep the caption strip dark so added text stays readable
    x0, y0, x1, y1 = CAPTION_BOX
    strip = np.zeros(SHAPE)
    strip[y0 - 4:y1 + 4, x0 - 12:x1 + 12] = 1.0
    strip = iu.blur(strip, 10)
    img *= (1.0 - 0.55 * strip)[:, :, None]
    return img


def make_loading():
    """Loading screen: calm space and the trough the progress bar fills
    (the party kit letters the title above it)."""
    img = space_background(5, 0.8, 0.8)
    xx, yy = iu.coords(SHAPE)
    # soft light pool behind the centre
    pool = np.exp(-(((xx - W / 2) / 260.0) ** 2 + ((yy - 232) / 120.0) ** 2))
    iu.add(img, (30, 26, 80), pool * 0.6)
    # trough around the bar
    x0, y0, x1, y1 = BAR_X - 1, BAR_Y - 1, BAR_X + BAR_W + 1, BAR_Y + BAR_H + 1
    frame_box(img, x0, y0, x1, y1, width=4, radius=5)
    trough = np.zeros(SHAPE)
    trough[y0:y1, x0:x1] = 1.0
    inner = iu.ramp((yy - y0) / (y1 - y0), [(0.0, (2, 2, 8)), (1.0, (14, 14, 36))])
    # unlit segments show faintly, so the bar reads as a gauge
    seg = ((xx - BAR_X) % 8 < 7) & (yy >= BAR_Y + 1) & (yy < BAR_Y + BAR_H - 1)
    inner = inner + seg[:, :, None] * np.array([10, 12, 30])
    iu.blend(img, inner, trough)
    label, _ = iu.text_layer(SHAPE, "LOADING", SANS, 10, cx=W / 2,
                             baseline=272, tracking=4)
    iu.add(img, (150, 190, 255), label * 0.85)
    return img


def make_loadbar():
    """The progress bar, 192 x 16: 24 lit segments, one per loading step,
    running from cyan to gold, glossy on top."""
    h, w = BAR_H, BAR_W
    xx, yy = iu.coords((h, w))
    t = xx / (w - 1)
    col = iu.ramp(t, [(0.0, (40, 150, 255)), (0.45, (130, 140, 255)),
                      (0.7, (255, 150, 90)), (1.0, (255, 214, 90))])
    v = yy / (h - 1)
    shade = iu.ramp(v, [(0.0, (0.55, 0.55, 0.55)), (0.15, (1.25, 1.25, 1.25)),
                        (0.45, (1.0, 1.0, 1.0)), (0.55, (0.78, 0.78, 0.78)),
                        (1.0, (0.45, 0.45, 0.45))])
    img = col * shade
    gloss = np.exp(-((yy - 3.5) ** 2) / 2.0)
    img = img + (255 - img) * gloss[:, :, None] * 0.45
    seg_x = xx % 8
    gap = (seg_x >= 7).astype(np.float64)
    img = img * (1.0 - 0.85 * gap)[:, :, None]
    # rounded segment ends
    edge = ((seg_x == 0) | (seg_x == 6)) & ((yy == 0) | (yy == h - 1))
    img = img * (1.0 - 0.5 * edge)[:, :, None]
    img[0, :] *= 0.55
    img[h - 1, :] *= 0.55
    return img


def button_slot(img, x, y, w, h, lit, exit_button):
    """Draw a menu button's slot (unlit: dark recess; lit: glowing bar)."""
    slot = iu.rounded_rect(SHAPE, x + 1, y + 1, x + w - 1, y + h - 1, 6)
    xx, yy = iu.coords(SHAPE)
    v = (yy - y) / h
    if not lit:
        col = iu.ramp(v, [(0.0, (4, 4, 14)), (1.0, (18, 18, 44))])
        iu.blend(img, col, slot * 0.85)
        # inset bevel: dark top edge, light bottom edge
        edge = np.clip(slot - iu.blur(slot, 1.2) * 1.0, 0, 1)
        top = edge * (yy < y + h / 2)
        bottom = edge * (yy >= y + h / 2)
        iu.blend(img, (0, 0, 0), top * 0.8)
        iu.add(img, (80, 90, 150), bottom * 0.7)
    else:
        if exit_button:
            stops = [(0.0, (120, 40, 30)), (0.45, (200, 80, 40)),
                     (0.5, (130, 40, 40)), (1.0, (60, 16, 30))]
            rim = (255, 190, 120)
        else:
            stops = [(0.0, (60, 70, 190)), (0.45, (110, 90, 230)),
                     (0.5, (54, 40, 150)), (1.0, (24, 20, 80))]
            rim = (170, 210, 255)
        col = iu.ramp(v, stops)
        # light pooling in the middle of the bar
        cx = x + w / 2.0
        pool = np.exp(-((xx - cx) / (w * 0.42)) ** 2)
        col = col * (0.65 + 0.5 * pool)[:, :, None]
        iu.blend(img, col, slot)
        edge = np.clip(slot - iu.blur(slot, 1.0), 0, 1) * 2.0
        iu.add(img, rim, np.clip(edge, 0, 1) * 0.8)
        gloss = np.exp(-((yy - (y + 5)) ** 2) / 3.0) * slot * pool
        iu.add(img, (255, 255, 255), gloss * 0.25)
    return img


def button_label(img, label, x, y, w, h, lit, exit_button):
    m, _ = iu.text_layer(SHAPE, label, SANS_BOLD, 14.5, cx=x + w / 2.0 + 4,
                         baseline=y + h / 2.0 + 5.5, tracking=3.0)
    xx, yy = iu.coords(SHAPE)
    # small diamond marker to the left of the label
    mx, my = x + 16, y + h / 2.0
    diamond = np.clip(4.5 - (np.abs(xx + 0.5 - mx) + np.abs(yy + 0.5 - my)), 0, 1)
    if not lit:
        iu.add(img, (150, 162, 210), m * 0.72)
        iu.add(img, (70, 80, 140), diamond * 0.8)
    else:
        glow = (255, 140, 60) if exit_button else (255, 170, 60)
        g = np.clip(iu.blur(m, 3.0) * 2.0, 0, 1)
        iu.add(img, glow, g * 0.55)
        dark = np.clip(iu.blur(m, 1.0) * 2.5, 0, 1)
        iu.blend(img, (20, 8, 20), dark * 0.5)
        fill = gold_fill(SHAPE, y + h / 2.0 - 6, y + h / 2.0 + 6)
        fill = fill * 0.35 + np.array(GOLD_LIGHT) * 0.65
        iu.blend(img, fill, m)
        iu.add(img, (255, 255, 255), diamond * 0.9)
        iu.add(img, glow, np.clip(iu.blur(diamond, 2.5) * 2.0, 0, 1) * 0.6)
    return img


def panel_base(seed):
    """The backdrop the menu panel and the page panel share."""
    img = space_background(seed, 0.62, 0.9)
    xx, yy = iu.coords(SHAPE)
    vign = 1.0 - 0.45 * np.clip(((xx - W / 2) / (W * 0.6)) ** 2
                                + ((yy - H / 2) / (H * 0.7)) ** 2, 0, 1)
    img *= vign[:, :, None]
    return img


def panel_finish(img):
    """Drawn last on both panels, over everything else, so that the two
    agree exactly where the program needs it: the header band (rows 0-49
    stay put during cross-fades) and the 3D window (its background is cut
    from the menu panel but also blended over the page panel)."""
    header_band(img)
    frame_box(img, WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H, width=4,
              radius=5)
    calm_window(img, WIN_X, WIN_Y, WIN_W, WIN_H)
    return img


def footer(img, text):
    _xx, yy = iu.coords(SHAPE)
    band = iu.smoothstep(436, 446, yy)
    iu.blend(img, (4, 4, 14), band * 0.75)
    rule = np.exp(-((yy - 441.5) ** 2) / 0.5)
    fade = np.clip(1.0 - np.abs(_xx - W / 2) / (W * 0.55), 0.1, 1.0)
    iu.add(img, (90, 110, 200), rule * fade * 0.6)
    if text:
        t, _ = iu.text_layer(SHAPE, text, SANS, 9, cx=W / 2, baseline=466,
                             tracking=1.5)
        iu.add(img, (120, 130, 180), t * 0.9)
    return img


def menu_plate(img):
    """Glass plate behind the button column."""
    x0, y0, x1, y1 = 226, 148, 416, 372
    plate = iu.rounded_rect(SHAPE, x0, y0, x1, y1, 10)
    _xx, yy = iu.coords(SHAPE)
    shadow = np.clip(iu.blur(plate, 10) * 1.3, 0, 1)
    iu.blend(img, (0, 0, 6), shadow * 0.55)
    col = iu.ramp((yy - y0) / (y1 - y0), [(0.0, (30, 30, 80)),
                                          (1.0, (12, 12, 40))])
    iu.blend(img, col, plate * 0.8)
    edge = np.clip(plate - iu.blur(plate, 1.3), 0, 1) * 2.0
    iu.add(img, (110, 120, 210), np.clip(edge, 0, 1) * 0.8)
    # separator above the exit button
    sep = np.exp(-((yy - 316.5) ** 2) / 0.4) * np.clip(
        1.0 - np.abs(_xx - 321) / 70.0, 0, 1)
    iu.add(img, (120, 110, 200), sep * 0.6)
    return img


def panel_pictures():
    """The menu panel and the five lit buttons cut from the same art (the
    party's lettering stays out of the buttons, so they are the same for
    every party)."""
    img = panel_base(21)
    xx, yy = iu.coords(SHAPE)
    sub, _ = iu.text_layer(SHAPE, "M A I N   M E N U", SANS, 10, cx=W / 2,
                           baseline=134, tracking=1)
    iu.add(img, GOLD, sub * 0.8)
    menu_plate(img)
    # the ringed planet sits where the page panel has it, so it stays in
    # place during the cross-fade
    emblem(img, 555, 112)
    bar = ((xx >= 30) & (xx < 32) & (yy >= 296) & (yy < 368)).astype(float)
    iu.add(img, GOLD, bar * 0.8)
    footer(img, "MOVE THE MOUSE  -  LEFT BUTTON CHOOSES  -  ESC LEAVES")
    panel_finish(img)

    base = img.copy()
    lit_pics = {}
    for name, label, x, y, w, h in BUTTONS:
        ex = name == "exit"
        button_slot(img, x, y, w, h, False, ex)
        button_label(img, label, x, y, w, h, False, ex)
        lit = base.copy()
        button_slot(lit, x, y, w, h, True, ex)
        button_label(lit, label, x, y, w, h, True, ex)
        lit_pics["on_%s.png" % name] = lit[y:y + h, x:x + w].copy()
    return img, lit_pics


def emblem(img, cx, cy, radius=27.0):
    """A small ringed planet: dark globe lit from the upper right, a gold
    ring tilted across it (the back half hidden behind the globe)."""
    xx, yy = iu.coords(SHAPE)
    dx, dy = xx + 0.5 - cx, yy + 0.5 - cy
    d = np.sqrt(dx * dx + dy * dy)
    globe = np.clip(radius - d + 0.5, 0, 1)
    ang = math.radians(-18.0)
    u = dx * math.cos(ang) - dy * math.sin(ang)
    v = dx * math.sin(ang) + dy * math.cos(ang)
    re = np.sqrt((u / (radius * 1.95)) ** 2 + (v / (radius * 0.5)) ** 2)
    ring = np.clip((re - 0.80) * 40, 0, 1) * np.clip((1.0 - re) * 40, 0, 1)
    ring_col = iu.ramp((u / (radius * 1.95) + 1) / 2, [
        (0.0, (120, 70, 30)), (0.5, (255, 220, 140)), (1.0, (160, 100, 40))])
    glow = np.clip(iu.blur(globe, 8) * 1.6, 0, 1) * (1 - globe)
    iu.add(img, (40, 70, 180), glow * 0.7)
    back = ring * (v < 0)
    iu.blend(img, ring_col * 0.7, back)
    # globe shading: light from the upper right, a bright rim
    nx, ny = dx / radius, dy / radius
    nz = np.sqrt(np.clip(1 - nx * nx - ny * ny, 0, 1))
    lam = np.clip(0.55 * nx - 0.55 * ny + 0.62 * nz, 0, 1)
    col = iu.ramp(lam, [(0.0, (6, 8, 26)), (0.5, (30, 40, 110)),
                        (0.85, (90, 120, 220)), (1.0, (190, 210, 255))])
    rim = np.exp(-((d - radius + 1.2) ** 2) / 1.5) * np.clip(nx - ny, 0, 1)
    iu.blend(img, col, globe)
    iu.add(img, (140, 190, 255), rim * globe * 0.8)
    front = ring * (v >= 0)
    iu.blend(img, ring_col, front)
    return img


def make_textpanel():
    img = panel_base(21)
    xx, yy = iu.coords(SHAPE)
    # the text plate
    x0, y0, x1, y1 = 30, 54, 472, 434
    plate = iu.rounded_rect(SHAPE, x0, y0, x1, y1, 8)
    shadow = np.clip(iu.blur(plate, 10) * 1.3, 0, 1)
    iu.blend(img, (0, 0, 6), shadow * 0.6)
    col = iu.ramp((yy - y0) / (y1 - y0), [(0.0, (12, 13, 38)),
                                          (0.5, (8, 9, 28)),
                                          (1.0, (12, 12, 36))])
    iu.blend(img, col, plate * 0.93)
    edge = np.clip(plate - iu.blur(plate, 1.3), 0, 1) * 2.0
    iu.add(img, (90, 100, 190), np.clip(edge, 0, 1) * 0.75)
    # right column: the ringed planet of the logo, above the 3D window
    emblem(img, 555, 112)
    footer(img, None)
    hint, _ = iu.text_layer(SHAPE, "POINT AT THE TOP OR BOTTOM EDGE TO SCROLL",
                            SANS, 8.5, right=628, baseline=467, tracking=1.0)
    iu.add(img, (110, 120, 170), hint * 0.9)
    # a dark pad under the "[rmb to back]" line drawn by the program
    pad = iu.rounded_rect(SHAPE, 4, 454, 122, 474, 4)
    iu.blend(img, (10, 10, 30), pad * 0.9)
    panel_finish(img)
    return img


def make_mouse():
    """Arrow pointer, 12 x 16: tip at the top left pixel, dark outline of
    (1, 1, 1) so that only the outside is transparent black."""
    rows = [
        "X...........",
        "XX..........",
        "XWX.........",
        "XWWX........",
        "XWWWX.......",
        "XWWWWX......",
        "XWWWWWX.....",
        "XWWWWWWX....",
        "XWWWWWWWX...",
        "XWWWWWWWWX..",
        "XWWWWWXXXXX.",
        "XWWXWWX.....",
        "XWX.XWWX....",
        "XX..XWWX....",
        "X....XWWX...",
        ".....XXX....",
    ]
    h, w = len(rows), len(rows[0])
    img = np.zeros((h, w, 3))
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch == "X":
                img[y, x] = (1, 1, 1)
            elif ch == "W":
                t = (x + y) / 20.0
                img[y, x] = iu.ramp(t, [(0.0, (255, 255, 255)),
                                        (0.5, (255, 236, 170)),
                                        (1.0, (240, 170, 70))])
    return img


def make_chrome():
    """256 x 256 environment map, seamless in both directions (texture
    coordinates wrap): sky at the top, bright horizon across the middle,
    warm ground below, a few hot highlights."""
    n = 256
    rng = np.random.default_rng(7)
    xx, yy = iu.coords((n, n))
    # periodic coordinates
    v = yy / n
    u = xx / n
    wob = 0.035 * np.sin(2 * np.pi * (u * 2 + 0.15)) + 0.02 * np.sin(
        2 * np.pi * (u * 3 + 0.6))
    t = (v + wob) % 1.0
    img = iu.ramp(t, [
        (0.00, (36, 44, 104)),
        (0.12, (84, 132, 224)),
        (0.30, (168, 208, 255)),
        (0.45, (238, 246, 255)),
        (0.50, (255, 255, 255)),
        (0.512, (44, 38, 64)),
        (0.56, (66, 48, 52)),
        (0.70, (168, 118, 70)),
        (0.82, (255, 218, 146)),
        (0.90, (150, 102, 84)),
        (1.00, (36, 44, 104)),
    ])
    # periodic clouds in the sky, streaks on the ground
    k = rng.random((8, 8))
    cloud = np.zeros((n, n))
    for a in range(1, 4):
        for b in range(1, 4):
            ph = 2 * np.pi * k[a, b]
            cloud += np.sin(2 * np.pi * (a * u + b * v) + ph) / (a + b)
    cloud = (cloud - cloud.min()) / (cloud.max() - cloud.min())
    sky = iu.smoothstep(0.05, 0.2, t) * (1 - iu.smoothstep(0.42, 0.49, t))
    img += (sky * (cloud - 0.5) * 60)[:, :, None]
    # highlights: soft bright spots, wrapped
    for (hx, hy, r, s) in [(0.22, 0.30, 0.06, 1.0), (0.70, 0.36, 0.045, 0.9),
                           (0.48, 0.80, 0.05, 0.7), (0.90, 0.12, 0.035, 0.8)]:
        dx = (u - hx + 0.5) % 1.0 - 0.5
        dy = (v - hy + 0.5) % 1.0 - 0.5
        spot = np.exp(-(dx * dx + dy * dy) / (2 * r * r))
        img = img + (255 - img) * (spot * s)[:, :, None]
    return img


LAYERS = {
    "layers/logo.png": make_logo,
    "layers/loading.png": make_loading,
    "layers/textpanel.png": make_textpanel,
}


def main(argv):
    args = argv[1:]
    out_dir = args[0] if args else "data"
    only = set(args[1:])
    pics = {}

    def want(*names):
        return not only or any(n in only for n in names)

    for name, make in LAYERS.items():
        if want(name):
            pics[name] = make()
    if want("on_load.png"):
        pics["on_load.png"] = make_loadbar()
    if want("layers/panel.png", *("on_%s.png" % b[0] for b in BUTTONS)):
        panel, lit = panel_pictures()
        pics["layers/panel.png"] = panel
        pics.update(lit)
    if want("mouse.png"):
        pics["mouse.png"] = make_mouse()
    if want("chrome.png"):
        pics["chrome.png"] = make_chrome()
    os.makedirs(os.path.join(out_dir, "layers"), exist_ok=True)
    for name, pic in sorted(pics.items()):
        iu.save_png(pic, os.path.join(out_dir, name))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
