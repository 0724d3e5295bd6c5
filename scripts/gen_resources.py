#!/usr/bin/env python3
"""Generate the binary resources of Kelvo Utilities into resources/gen/.

Everything is drawn from code with a small anti-aliased rasteriser, so the
pictures, the busy clip and the chime can be rebuilt at any time.  The
output is deterministic: running the script twice gives identical bytes.

Only the Python standard library is used.

    python3 scripts/gen_resources.py [output-folder]
"""

import math
import os
import struct
import sys

MAGENTA = (255, 0, 255)

# ---------------------------------------------------------------------------
# Rasteriser
# ---------------------------------------------------------------------------


class Canvas:
    """RGBA canvas; colours are straight (not premultiplied), alpha 0..1.

    Shapes, colour functions and put() work in design units; a canvas made
    at `scale` has `scale` pixels per unit (w and h are in units), so one
    drawing gives the picture for every display scale."""

    def __init__(self, w, h, ss=4, scale=1.0):
        self.scale = scale
        self.w = int(round(w * scale))
        self.h = int(round(h * scale))
        self.ss = ss
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.w * self.h)]

    def blend(self, x, y, color, cov):
        if not (0 <= x < self.w and 0 <= y < self.h):
            return
        a = cov * (color[3] if len(color) > 3 else 1.0)
        if a <= 0.0:
            return
        p = self.px[y * self.w + x]
        da = p[3]
        oa = a + da * (1.0 - a)
        for i in range(3):
            p[i] = (color[i] * a + p[i] * da * (1.0 - a)) / oa
        p[3] = oa

    def fill(self, shape, color, ss=None):
        """Fill a shape (predicate with a bounding box) with a colour or a
        colour function of the pixel centre."""
        ss = ss or self.ss
        k = self.scale
        bx0, by0, bx1, by1 = shape.bbox
        x0 = max(0, int(math.floor(bx0 * k)))
        y0 = max(0, int(math.floor(by0 * k)))
        x1 = min(self.w, int(math.ceil(bx1 * k)))
        y1 = min(self.h, int(math.ceil(by1 * k)))
        inside = shape.inside
        step = 1.0 / ss
        offs = [(i + 0.5) * step for i in range(ss)]
        total = float(ss * ss)
        for py in range(y0, y1):
            for px in range(x0, x1):
                n = 0
                for oy in offs:
                    fy = (py + oy) / k
                    for ox in offs:
                        if inside((px + ox) / k, fy):
                            n += 1
                if n:
                    c = color((px + 0.5) / k, (py + 0.5) / k) if callable(color) else color
                    self.blend(px, py, c, n / total)

    def put(self, x, y, color):
        """Cover one unit square (one pixel at scale 1)."""
        if self.scale == 1.0:
            self.blend(x, y, color, 1.0)
        else:
            self.fill(rect(x, y, x + 1, y + 1), color)

    def paste(self, other, dx, dy):
        """Another canvas at pixel offset dx, dy."""
        for y in range(other.h):
            for x in range(other.w):
                p = other.px[y * other.w + x]
                if p[3] > 0:
                    self.blend(x + dx, y + dy, (p[0], p[1], p[2]), p[3])

    def rgb(self, bg=MAGENTA, mode="key"):
        """Flatten to rows of (r, g, b).  "key": pixels at least half covered
        become opaque, the rest take the key colour bg (for masked image
        lists).  "blend": alpha-blend over bg."""
        rows = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if mode == "key":
                    if a >= 0.5:
                        c = (r, g, b)
                    else:
                        c = bg
                else:
                    c = tuple(r * a + bg[i] * (1.0 - a) for i, r in enumerate((r, g, b)))
                c = tuple(max(0, min(255, int(round(v)))) for v in c)
                if mode == "key" and c == bg and a >= 0.5:
                    # never let an opaque pixel collide with the key colour
                    c = (c[0] - 1, c[1], c[2] - 1)
                row.append(c)
            rows.append(row)
        return rows


class Shape:
    def __init__(self, inside, bbox):
        self.inside = inside
        self.bbox = bbox

    def __or__(self, other):
        a, b = self, other
        return Shape(lambda x, y: a.inside(x, y) or b.inside(x, y),
                     (min(a.bbox[0], b.bbox[0]), min(a.bbox[1], b.bbox[1]),
                      max(a.bbox[2], b.bbox[2]), max(a.bbox[3], b.bbox[3])))

    def __sub__(self, other):
        a, b = self, other
        return Shape(lambda x, y: a.inside(x, y) and not b.inside(x, y), a.bbox)

    def __and__(self, other):
        a, b = self, other
        return Shape(lambda x, y: a.inside(x, y) and b.inside(x, y),
                     (max(a.bbox[0], b.bbox[0]), max(a.bbox[1], b.bbox[1]),
                      min(a.bbox[2], b.bbox[2]), min(a.bbox[3], b.bbox[3])))


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1))


def rrect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return Shape(inside, (x0, y0, x1, y1))


def ellipse(cx, cy, rx, ry=None):
    ry = rx if ry is None else ry
    return Shape(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0,
                 (cx - rx, cy - ry, cx + rx, cy + ry))


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def polygon(pts):
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    n = len(pts)

    def inside(x, y):
        c = False
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y):
                if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
            j = i
        return c
    return Shape(inside, (min(xs), min(ys), max(xs), max(ys)))


def line(x0, y0, x1, y1, width, cap=True):
    """A thick line; round caps when cap is true, flat otherwise."""
    hw = width / 2.0
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-9

    def inside(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        if not cap and (t < 0.0 or t > 1.0):
            return False
        t = min(1.0, max(0.0, t))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= hw * hw
    return Shape(inside, (min(x0, x1) - hw, min(y0, y1) - hw,
                          max(x0, x1) + hw, max(y0, y1) + hw))


def polyline(pts, width):
    s = line(pts[0][0], pts[0][1], pts[1][0], pts[1][1], width)
    for a, b in zip(pts[1:], pts[2:]):
        s = s | line(a[0], a[1], b[0], b[1], width)
    return s


def arc(cx, cy, r, width, a0, a1):
    """Stroke of a circle between angles a0..a1 in degrees, clockwise on the
    screen (0 = right, 90 = down)."""
    hw = width / 2.0

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > hw:
            return False
        ang = math.degrees(math.atan2(y - cy, x - cx))
        while ang < a0:
            ang += 360.0
        return ang <= a1
    return Shape(inside, (cx - r - hw, cy - r - hw, cx + r + hw, cy + r + hw))


def gear(cx, cy, r_out, r_in, teeth, hole, phase=0.0, tooth_frac=0.5):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if d < hole or d > r_out:
            return False
        if d <= r_in:
            return True
        ang = (math.degrees(math.atan2(y - cy, x - cx)) - phase) % 360.0
        seg = 360.0 / teeth
        return (ang % seg) / seg < tooth_frac
    return Shape(inside, (cx - r_out, cy - r_out, cx + r_out, cy + r_out))


def star4(cx, cy, r, w):
    """Four-pointed sparkle."""
    pts = []
    for i in range(8):
        ang = math.radians(i * 45.0 - 90.0)
        rr = r if i % 2 == 0 else w
        pts.append((cx + rr * math.cos(ang), cy + rr * math.sin(ang)))
    return polygon(pts)


def vgrad(c0, c1, y0, y1):
    def f(x, y):
        t = min(1.0, max(0.0, (y - y0) / float(y1 - y0)))
        return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))
    return f


def hgrad(c0, c1, x0, x1):
    def f(x, y):
        t = min(1.0, max(0.0, (x - x0) / float(x1 - x0)))
        return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))
    return f


def dgrad(c0, c1, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy

    def f(x, y):
        t = min(1.0, max(0.0, ((x - x0) * dx + (y - y0) * dy) / ll))
        return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))
    return f


def rgrad(c0, c1, cx, cy, r):
    def f(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r)
        return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))
    return f


# ---------------------------------------------------------------------------
# Pixel fonts
# ---------------------------------------------------------------------------

FONT3x5 = {
    "a": ["...", "##.", "..#", "###", "###"],
    "b": ["#..", "##.", "#.#", "#.#", "##."],
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
}

FONT5x7 = {
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "l": ["##", ".#", ".#", ".#", ".#", ".#", "###"],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "t": [".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"],
    "i": ["#", ".", "#", "#", "#", "#", "#"],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    " ": ["..", "..", "..", "..", "..", "..", ".."],
}


def draw_text(cv, x, y, text, font, color, gap=1, block=None):
    """Pixel-font text with its top left at unit x, y; each font pixel is a
    square of `block` canvas pixels (by default the whole pixels a unit
    spans), so the letters stay sharp at every scale."""
    block = block or max(1, int(cv.scale))
    px = int(round(x * cv.scale))
    py = int(round(y * cv.scale))
    for ch in text:
        glyph = font[ch]
        for gy, row in enumerate(glyph):
            for gx, c in enumerate(row):
                if c == "#":
                    for by in range(block):
                        for bx in range(block):
                            cv.blend(px + gx * block + bx, py + gy * block + by, color, 1.0)
        px += (len(glyph[0]) + gap) * block


# ---------------------------------------------------------------------------
# Colours
# ---------------------------------------------------------------------------

INK = (38, 42, 58)
WHITE = (255, 255, 255)
PAPER = (252, 252, 248)
PAPER_SHADE = (214, 218, 228)
TEXT_GRAY = (150, 156, 170)
RED = (214, 44, 36)
RED_DARK = (128, 20, 16)
GREEN = (52, 160, 62)
GREEN_LIGHT = (120, 210, 110)
GREEN_DARK = (24, 92, 34)
BLUE = (44, 104, 200)
BLUE_LIGHT = (120, 170, 240)
BLUE_DARK = (20, 54, 120)
YELLOW = (250, 206, 70)
YELLOW_DARK = (176, 120, 20)
STEEL = (176, 184, 198)
STEEL_DARK = (84, 92, 110)
STEEL_LIGHT = (226, 230, 238)

# ---------------------------------------------------------------------------
# 16 x 16 pictures
# ---------------------------------------------------------------------------


# The display scale the pictures are being drawn for (1, 1.5 or 2).
SCALE = 1.0


def new16():
    return Canvas(16, 16, scale=SCALE)


def page(cv, x0, y0, x1, y1, ear=3, lines=True):
    """A sheet of paper with a folded corner and text lines."""
    outline = polygon([(x0, y0), (x1 - ear, y0), (x1, y0 + ear), (x1, y1), (x0, y1)])
    inner = polygon([(x0 + 1, y0 + 1), (x1 - ear - 0.5, y0 + 1), (x1 - 1, y0 + ear + 0.5),
                     (x1 - 1, y1 - 1), (x0 + 1, y1 - 1)])
    cv.fill(outline, INK)
    cv.fill(inner, vgrad(WHITE, PAPER_SHADE, y0, y1))
    cv.fill(polygon([(x1 - ear, y0), (x1 - ear, y0 + ear), (x1, y0 + ear)]), INK)
    cv.fill(polygon([(x1 - ear + 1, y0 + 1.5), (x1 - ear + 1, y0 + ear - 1), (x1 - 1.5, y0 + ear - 1)]),
            STEEL_LIGHT)
    if lines:
        y = math.floor(y0 + ear + 1.5)
        while y + 1 < y1 - 1:
            cv.fill(rect(x0 + 2, y, x1 - 2, y + 1), TEXT_GRAY)
            y += 2


def cross(cv, cx, cy, r, width=2.4):
    a = line(cx - r, cy - r, cx + r, cy + r, width) | line(cx - r, cy + r, cx + r, cy - r, width)
    b = line(cx - r, cy - r, cx + r, cy + r, width + 1.6) | line(cx - r, cy + r, cx + r, cy - r, width + 1.6)
    cv.fill(b, RED_DARK)
    cv.fill(a, vgrad((240, 90, 80), (190, 30, 24), cy - r, cy + r))


def waste_bin(cv, paper=False):
    if paper:
        cv.fill(circle(6.5, 3.2, 2.6), INK)
        cv.fill(circle(6.5, 3.2, 1.7), PAPER)
        cv.fill(circle(10.2, 2.8, 2.2), INK)
        cv.fill(circle(10.2, 2.8, 1.3), (236, 230, 190))
    # body
    cv.fill(polygon([(2.5, 5), (13.5, 5), (12.5, 16), (3.5, 16)]), INK)
    cv.fill(polygon([(3.6, 6), (12.4, 6), (11.6, 15), (4.4, 15)]),
            hgrad((150, 170, 196), (92, 112, 146), 3, 13))
    for x in (6.0, 8.0, 10.0):
        cv.fill(rect(x, 7, x + 1, 14), (200, 212, 228))
    # rim
    cv.fill(rrect(1.5, 4, 14.5, 7, 1), INK)
    cv.fill(rect(2.5, 5, 13.5, 6), (214, 224, 236))


def power_button(cv):
    cv.fill(circle(8, 8, 7.6), GREEN_DARK)
    cv.fill(circle(8, 8, 6.6), rgrad(GREEN_LIGHT, GREEN, 6.5, 5.5, 8))
    cv.fill(arc(8, 8.4, 3.6, 1.8, 300, 600), WHITE)
    cv.fill(line(8, 3.0, 8, 7.6, 1.9), GREEN_DARK)
    cv.fill(line(8, 3.6, 8, 7.2, 1.5), WHITE)


def cube(cv, cx, ty, h, top, left, right):
    """Isometric cube: cx is the middle, ty the top corner, h half its width."""
    hh = h * 0.55
    top_pts = [(cx, ty), (cx + h, ty + hh), (cx, ty + 2 * hh), (cx - h, ty + hh)]
    left_pts = [(cx - h, ty + hh), (cx, ty + 2 * hh), (cx, ty + 2 * hh + h), (cx - h, ty + hh + h)]
    right_pts = [(cx, ty + 2 * hh), (cx + h, ty + hh), (cx + h, ty + hh + h), (cx, ty + 2 * hh + h)]
    outline = polygon([(cx, ty - 0.7), (cx + h + 0.7, ty + hh - 0.2), (cx + h + 0.7, ty + hh + h + 0.4),
                       (cx, ty + 2 * hh + h + 0.8), (cx - h - 0.7, ty + hh + h + 0.4),
                       (cx - h - 0.7, ty + hh - 0.2)])
    cv.fill(outline, INK)
    cv.fill(polygon(top_pts), top)
    cv.fill(polygon(left_pts), left)
    cv.fill(polygon(right_pts), right)


def registry_cubes(cv, colors=None, dy=0.0):
    top, left, right = colors or ((150, 196, 250), (52, 112, 210), (28, 70, 150))
    cube(cv, 8.0, 1.0 + dy, 3.6, top, left, right)
    cube(cv, 4.2, 7.4 + dy, 3.6, top, left, right)
    cube(cv, 11.8, 7.4 + dy, 3.6, top, left, right)


def shortcut_box(cv, x0, y0, size):
    x1, y1 = x0 + size, y0 + size
    cv.fill(rect(x0, y0, x1, y1), INK)
    cv.fill(rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), WHITE)
    s = size / 11.0
    ax, ay = x0 + 2.2 * s, y0 + 8.8 * s
    tx, ty = x0 + 8.6 * s, y0 + 2.4 * s
    cv.fill(line(ax, ay, x0 + 6.2 * s, y0 + 4.8 * s, 1.9 * s), BLUE)
    cv.fill(polygon([(tx, ty), (tx, ty + 5.0 * s), (tx - 5.0 * s, ty)]), BLUE)


def clock(cv):
    cv.fill(circle(8, 8, 7.6), BLUE_DARK)
    cv.fill(circle(8, 8, 6.6), rgrad((140, 190, 245), BLUE, 8, 8, 7))
    cv.fill(circle(8, 8, 5.4), rgrad(WHITE, (226, 234, 246), 7, 6, 6))
    for ang in (0, 90, 180, 270):
        a = math.radians(ang)
        cv.fill(line(8 + 4.3 * math.cos(a), 8 + 4.3 * math.sin(a),
                     8 + 5.0 * math.cos(a), 8 + 5.0 * math.sin(a), 1.0), STEEL_DARK)
    cv.fill(line(8, 8, 8, 3.9, 1.3), INK)
    cv.fill(line(8, 8, 11.2, 9.6, 1.3), INK)
    cv.fill(circle(8, 8, 1.0), RED)


def duplicate_pages(cv):
    page(cv, 1, 1, 10, 12, ear=3)
    page(cv, 6, 4, 15, 15.5, ear=3, lines=False)
    cv.fill(rect(8.5, 8.5, 12.5, 10), GREEN)
    cv.fill(rect(8.5, 11.5, 12.5, 13), GREEN)


def gear_polygon(cx, cy, r_tip, r_root, teeth, phase=0.0):
    """Gear outline with trapezoid teeth."""
    pts = []
    seg = 360.0 / teeth
    for i in range(teeth):
        a = phase + i * seg
        for ang, r in ((a - seg * 0.30, r_root), (a - seg * 0.17, r_tip),
                       (a + seg * 0.17, r_tip), (a + seg * 0.30, r_root)):
            t = math.radians(ang)
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return polygon(pts)


def gear_icon(cv, cx=8, cy=8, s=1.0, edge=STEEL_DARK):
    cv.fill(gear_polygon(cx, cy, 7.7 * s, 5.9 * s, 8, 22.5), edge)
    cv.fill(gear_polygon(cx, cy, 6.6 * s, 4.9 * s, 8, 22.5),
            dgrad(STEEL_LIGHT, (128, 138, 156), cx - 5 * s, cy - 5 * s, cx + 5 * s, cy + 5 * s))
    cv.fill(circle(cx, cy, 2.9 * s), edge)
    cv.fill(circle(cx, cy, 1.9 * s), (250, 250, 252))


def round_badge(cv, light, mid, dark):
    cv.fill(circle(8, 8, 7.7), dark)
    cv.fill(circle(8, 8, 6.8), rgrad(light, mid, 6.0, 5.0, 9.0))


def question_mark(cv):
    round_badge(cv, BLUE_LIGHT, BLUE, BLUE_DARK)
    cv.fill(arc(8, 6.2, 2.4, 2.0, 180, 400), WHITE)
    ex = 8 + 2.4 * math.cos(math.radians(40))
    ey = 6.2 + 2.4 * math.sin(math.radians(40))
    cv.fill(line(ex, ey, 8.2, 9.4, 2.0), WHITE)
    cv.fill(line(8.2, 9.4, 8.2, 10.0, 2.0), WHITE)
    cv.fill(circle(8.2, 12.4, 1.2), WHITE)


def info_mark(cv):
    round_badge(cv, BLUE_LIGHT, BLUE, BLUE_DARK)
    cv.fill(circle(8.2, 4.5, 1.3), WHITE)
    cv.fill(rect(7.2, 6.6, 9.2, 12), WHITE)
    cv.fill(rect(6.2, 6.6, 7.4, 7.6), WHITE)
    cv.fill(rect(6.2, 11.2, 10.4, 12.4), WHITE)


def magnifier(cv):
    cv.fill(line(10.4, 10.4, 14.2, 14.2, 3.6), INK)
    cv.fill(line(10.6, 10.6, 13.9, 13.9, 2.2), (150, 96, 40))
    cv.fill(circle(6.4, 6.4, 5.7), INK)
    cv.fill(circle(6.4, 6.4, 4.7), STEEL)
    cv.fill(circle(6.4, 6.4, 3.6), rgrad((236, 246, 255), (150, 200, 240), 5.0, 5.0, 5.0))
    cv.fill(arc(6.4, 6.4, 2.3, 1.0, 190, 260), WHITE)


def open_folder(cv):
    cv.fill(polygon([(0.5, 3), (5.5, 3), (7, 4.5), (13.5, 4.5), (13.5, 14), (0.5, 14)]), YELLOW_DARK)
    cv.fill(polygon([(1.5, 4), (5, 4), (6.5, 5.5), (12.5, 5.5), (12.5, 13), (1.5, 13)]), (236, 190, 80))
    cv.fill(polygon([(3, 7), (15.8, 7), (13.3, 14), (0.5, 14)]), YELLOW_DARK)
    cv.fill(polygon([(3.7, 8), (14.4, 8), (12.6, 13), (1.9, 13)]), vgrad((255, 232, 140), YELLOW, 8, 13))


def closed_folder(cv):
    cv.fill(polygon([(0.5, 2.5), (6, 2.5), (7.5, 4), (15.5, 4), (15.5, 14), (0.5, 14)]), YELLOW_DARK)
    cv.fill(rect(1.5, 3.5, 5.6, 5), (255, 230, 140))
    cv.fill(rect(1.5, 5.5, 14.5, 13), vgrad((255, 232, 140), YELLOW, 5, 13))


def property_page(cv):
    cv.fill(rect(1, 1, 15, 15), INK)
    cv.fill(rect(2, 2, 14, 14), PAPER)
    cv.fill(rect(2, 2, 14, 4.5), hgrad(BLUE, BLUE_LIGHT, 2, 14))
    for i, y in enumerate((6, 8.5, 11)):
        cv.fill(rect(3.5, y, 5.5, y + 1.5), [GREEN, BLUE, RED][i])
        cv.fill(rect(7, y + 0.25, 12.5, y + 1.25), TEXT_GRAY)


def floppy(cv):
    cv.fill(polygon([(1, 1), (13, 1), (15, 3), (15, 15), (1, 15)]), INK)
    cv.fill(polygon([(2, 2), (12.6, 2), (14, 3.4), (14, 14), (2, 14)]), vgrad((80, 120, 200), (36, 70, 150), 2, 14))
    cv.fill(rect(4, 2, 11, 6), STEEL_LIGHT)
    cv.fill(rect(8.5, 2.6, 10, 5.4), STEEL_DARK)
    cv.fill(rect(3.5, 8.5, 12.5, 14), PAPER)
    cv.fill(rect(4.5, 10, 11.5, 11), TEXT_GRAY)
    cv.fill(rect(4.5, 12, 10, 13), TEXT_GRAY)


def refresh_arrows(cv):
    cv.fill(arc(8, 8, 5.2, 3.4, 200, 330), GREEN_DARK)
    cv.fill(arc(8, 8, 5.2, 3.4, 20, 150), GREEN_DARK)
    cv.fill(arc(8, 8, 5.2, 1.9, 203, 327), GREEN_LIGHT)
    cv.fill(arc(8, 8, 5.2, 1.9, 23, 147), GREEN_LIGHT)
    # arrow heads
    cv.fill(polygon([(15.6, 6.8), (10.0, 6.8), (13.6, 2.0)]), GREEN_DARK)
    cv.fill(polygon([(14.2, 6.1), (11.4, 6.1), (13.4, 3.6)]), GREEN_LIGHT)
    cv.fill(polygon([(0.4, 9.2), (6.0, 9.2), (2.4, 14.0)]), GREEN_DARK)
    cv.fill(polygon([(1.8, 9.9), (4.6, 9.9), (2.6, 12.4)]), GREEN_LIGHT)


def check_mark(cv):
    pts = [(1.5, 8.5), (6.0, 13.0), (14.5, 3.0)]
    cv.fill(polyline(pts, 4.4), GREEN_DARK)
    cv.fill(polyline(pts, 2.6), vgrad(GREEN_LIGHT, GREEN, 3, 13))


def play_triangle(cv):
    cv.fill(polygon([(3, 1), (15, 8), (3, 15)]), GREEN_DARK)
    cv.fill(polygon([(4.2, 3.0), (12.8, 8), (4.2, 13.0)]), vgrad(GREEN_LIGHT, GREEN, 3, 13))


def eraser(cv):
    ux, uy = math.cos(math.radians(-45)), math.sin(math.radians(-45))
    vx, vy = -uy, ux
    cx, cy = 8.0, 8.4

    def box(a0, a1, w):
        return polygon([(cx + a0 * ux - w * vx, cy + a0 * uy - w * vy),
                        (cx + a1 * ux - w * vx, cy + a1 * uy - w * vy),
                        (cx + a1 * ux + w * vx, cy + a1 * uy + w * vy),
                        (cx + a0 * ux + w * vx, cy + a0 * uy + w * vy)])
    cv.fill(box(-7.6, 7.6, 4.1), INK)
    cv.fill(box(-6.6, 6.6, 3.1), (240, 128, 150))
    cv.fill(box(-6.6, -1.0, 3.1), vgrad((140, 176, 240), (70, 110, 200), 4, 14))
    cv.fill(box(-1.2, -0.4, 3.1), INK)
    cv.fill(box(0.4, 6.0, 0.5) , (255, 190, 204))


def pencil(cv, ox=0.0, oy=0.0):
    a = (ox + 5.0, oy + 15.0)
    b = (ox + 15.0, oy + 5.0)
    cv.fill(line(a[0] + 1.4, a[1] - 1.4, b[0], b[1], 4.0), INK)
    cv.fill(line(a[0] + 2.0, a[1] - 2.0, b[0] - 0.3, b[1] + 0.3, 2.4), YELLOW)
    cv.fill(line(b[0] - 1.6, b[1] + 1.6, b[0] - 0.2, b[1] + 0.2, 2.4), (230, 120, 140))
    cv.fill(polygon([(a[0] - 0.4, a[1] + 0.4), (a[0] + 0.6, a[1] - 3.0), (a[0] + 3.4, a[1] - 0.2)]),
            (236, 200, 150))
    cv.fill(polygon([(a[0] - 0.4, a[1] + 0.4), (a[0] + 0.1, a[1] - 1.4), (a[0] + 1.4, a[1] - 0.1)]), INK)


def minus_badge(cv, cx, cy):
    cv.fill(circle(cx, cy, 3.9), RED_DARK)
    cv.fill(circle(cx, cy, 3.0), rgrad((250, 110, 100), RED, cx - 1, cy - 1, 3.5))
    cv.fill(rect(cx - 2.0, cy - 0.7, cx + 2.0, cy + 0.8), WHITE)


def monitor(cv):
    cv.fill(rect(0.5, 1, 15.5, 11.5), INK)
    cv.fill(rect(1.5, 2, 14.5, 10.5), STEEL_LIGHT)
    cv.fill(rect(2.5, 3, 13.5, 9.5), vgrad((110, 170, 240), (40, 96, 190), 3, 9.5))
    cv.fill(rect(6, 11.5, 10, 13), INK)
    cv.fill(rect(3, 13, 13, 15.5), INK)
    cv.fill(rect(4, 13.8, 12, 14.7), STEEL)


def person(cv, cx, top, scale=1.0, shirt=(60, 130, 220), shirt_dark=(24, 64, 140)):
    s = scale
    cv.fill(ellipse(cx, top + 11.5 * s, 5.6 * s, 4.6 * s) & rect(0, 0, 16, top + 13.6 * s), INK)
    cv.fill(ellipse(cx, top + 11.5 * s, 4.6 * s, 3.7 * s) & rect(0, 0, 16, top + 12.8 * s),
            vgrad(shirt, shirt_dark, top + 8 * s, top + 13 * s))
    cv.fill(circle(cx, top + 4.6 * s, 3.6 * s), INK)
    cv.fill(circle(cx, top + 4.6 * s, 2.7 * s), rgrad((255, 226, 196), (226, 170, 130), cx - 1, top + 3.6 * s, 3.2 * s))


def tiny_text(cv, x, y, text, color):
    draw_text(cv, x, y, text, FONT3x5, color)


# ---------------------------------------------------------------------------
# Image strips
# ---------------------------------------------------------------------------


def icon_waste_bin():
    cv = new16()
    waste_bin(cv, paper=True)
    return cv


def icon_startup():
    cv = new16()
    power_button(cv)
    return cv


def icon_registry():
    cv = new16()
    registry_cubes(cv)
    return cv


def icon_broken_shortcut():
    cv = new16()
    page(cv, 3, 0.5, 13, 13, ear=3)
    shortcut_box(cv, 0, 6, 9)
    cross(cv, 12.5, 12.5, 2.3, 1.9)
    return cv


def icon_shortcut():
    cv = new16()
    page(cv, 3, 0.5, 14, 15, ear=3)
    shortcut_box(cv, 0, 5, 11)
    return cv


def icon_history():
    cv = new16()
    clock(cv)
    return cv


def icon_duplicates():
    cv = new16()
    duplicate_pages(cv)
    return cv


def icon_options():
    cv = new16()
    gear_icon(cv)
    return cv


def icon_help():
    cv = new16()
    question_mark(cv)
    return cv


def icon_about():
    cv = new16()
    info_mark(cv)
    return cv


def icon_scan():
    cv = new16()
    magnifier(cv)
    return cv


def icon_delete():
    cv = new16()
    cross(cv, 8, 8, 5.0, 2.6)
    return cv


def icon_folder():
    cv = new16()
    open_folder(cv)
    return cv


def icon_properties():
    cv = new16()
    property_page(cv)
    return cv


def icon_backup():
    cv = new16()
    floppy(cv)
    return cv


def icon_refresh():
    cv = new16()
    refresh_arrows(cv)
    return cv


def icon_delete_page():
    cv = new16()
    page(cv, 1.5, 0.5, 12.5, 15, ear=3)
    cross(cv, 11.2, 11.2, 2.8, 2.0)
    return cv


def icon_registry_remove():
    cv = new16()
    registry_cubes(cv)
    minus_badge(cv, 11.6, 11.6)
    return cv


def icon_update():
    cv = new16()
    check_mark(cv)
    return cv


def icon_start():
    cv = new16()
    play_triangle(cv)
    return cv


def icon_eraser():
    cv = new16()
    eraser(cv)
    return cv


def icon_regedit():
    cv = new16()
    registry_cubes(cv)
    pencil(cv, 1.0, 1.0)
    return cv


def icon_hklm():
    cv = new16()
    monitor(cv)
    return cv


def icon_hkcu():
    cv = new16()
    person(cv, 8, 1.0, 1.0)
    return cv


def icon_hku():
    cv = new16()
    person(cv, 10.8, 1.6, 0.85, (70, 170, 90), (30, 100, 50))
    person(cv, 5.4, 2.6, 0.9)
    return cv


def icon_hkcr():
    cv = new16()
    colors = ((250, 214, 120), (220, 150, 40), (160, 96, 20))
    registry_cubes(cv, colors)
    return cv


def icon_key_folder():
    cv = new16()
    closed_folder(cv)
    return cv


def icon_string_value():
    cv = new16()
    cv.fill(rect(1, 2, 15, 14), INK)
    cv.fill(rect(2, 3, 14, 13), PAPER)
    tiny_text(cv, 4, 5, "ab", RED)
    cv.fill(rect(4, 11, 12, 12), TEXT_GRAY)
    return cv


def icon_binary_value():
    cv = new16()
    cv.fill(rect(1, 2, 15, 14), INK)
    cv.fill(rect(2, 3, 14, 13), PAPER)
    tiny_text(cv, 3, 5, "011", BLUE)
    cv.fill(rect(4, 11, 12, 12), TEXT_GRAY)
    return cv


def icon_shared_dll():
    cv = new16()
    page(cv, 1, 0.5, 12, 15, ear=3)
    gear_icon(cv, 10.2, 10.2, 0.76, INK)
    return cv


TOOLBAR_IMAGES = [
    icon_waste_bin,        # 0 Remove Unneeded Files (32772)
    icon_startup,          # 1 AutoStart Programs (32775)
    icon_registry,         # 2 Clean System Registry (32773)
    icon_broken_shortcut,  # 3 Fix Invalid Shortcuts (32774)
    icon_history,          # 4 Erase Your History (32781)
    icon_duplicates,       # 5 Find Duplicate Files (32782)
    icon_options,          # 6 Options (32777)
    icon_help,             # 7 Help (32780)
    icon_about,            # 8 About (32776)
    icon_scan,             # 9 spare
    icon_delete,           # 10 spare
    icon_folder,           # 11 spare
    icon_properties,       # 12 spare
    icon_backup,           # 13 spare
    icon_refresh,          # 14 spare
]

OUTBAR_IMAGES = [
    icon_delete_page,      # 0 Delete Selected
    icon_scan,             # 1 Scan / Refresh List / Start
    icon_refresh,          # 2
    icon_waste_bin,        # 3 Delete All
    icon_folder,           # 4
    icon_backup,           # 5 Backup
    icon_registry_remove,  # 6 Remove All / Remove Selected
    icon_update,           # 7 Update / Fix All / Fix Selected
    icon_options,          # 8
    icon_help,             # 9
    icon_start,            # 10
    icon_eraser,           # 11
    icon_regedit,          # 12 Open With RegEdit
    icon_duplicates,       # 13
    icon_shortcut,         # 14
]

REGISTRY_IMAGES = [
    icon_hklm,             # 0 HKEY_LOCAL_MACHINE
    icon_hkcu,             # 1 HKEY_CURRENT_USER
    icon_hku,              # 2 HKEY_USERS
    icon_hkcr,             # 3 HKEY_CLASSES_ROOT
    icon_key_folder,       # 4 key
    icon_string_value,     # 5 string value
    icon_binary_value,     # 6 binary value
    icon_shared_dll,       # 7 shared DLL
]


def strip(makers, scale=1.0):
    global SCALE
    SCALE = scale
    side = int(round(16 * scale))
    rows = [[] for _ in range(side)]
    for make in makers:
        img = make().rgb(MAGENTA, "key")
        for y in range(side):
            rows[y].extend(img[y])
    SCALE = 1.0
    return rows


# ---------------------------------------------------------------------------
# Larger pictures
# ---------------------------------------------------------------------------


def bulb_bitmap(scale=1.0):
    cv = Canvas(32, 32, scale=scale)
    glass = circle(16, 12.5, 9.5) | polygon([(9.2, 18), (22.8, 18), (20.5, 23), (11.5, 23)])
    glass_in = circle(16, 12.5, 8.4) | polygon([(10.4, 18), (21.6, 18), (19.6, 22.4), (12.4, 22.4)])
    # soft glow
    cv.fill(circle(16, 12.5, 12.5), (255, 246, 170, 0.35))
    cv.fill(glass, YELLOW_DARK)
    cv.fill(glass_in, rgrad((255, 255, 226), (250, 204, 40), 13.5, 9.5, 12.5))
    # filament
    cv.fill(polyline([(13, 22), (13, 16), (14.5, 13.5), (16, 16), (17.5, 13.5), (19, 16), (19, 22)], 1.0),
            (200, 110, 20))
    # highlight
    cv.fill(arc(16, 12.5, 6.2, 1.6, 195, 255), WHITE)
    cv.fill(circle(11.6, 13.6, 0.9), WHITE)
    # screw base
    cv.fill(rrect(11, 22.5, 21, 29.5, 1.5), STEEL_DARK)
    for i, y in enumerate((23.3, 25.3, 27.3)):
        cv.fill(rrect(11.8, y, 20.2, y + 1.4, 0.7), hgrad(STEEL_LIGHT, STEEL, 12, 20))
    cv.fill(polygon([(13.5, 29.3), (18.5, 29.3), (17.2, 31.2), (14.8, 31.2)]), INK)
    return cv.rgb(WHITE, "blend")


def rebar_tile(scale=1.0):
    w, h = 8, int(round(64 * scale))
    shade = int(round(28 * scale))
    top = (255, 255, 255)
    mid = (240, 243, 248)
    bottom = (214, 222, 236)
    rows = []
    for y in range(h):
        if y < shade:
            t = y / float(shade - 1)
            c = tuple(mid[i] + (bottom[i] - mid[i]) * t for i in range(3))
        else:
            c = bottom
        if y == 0:
            c = top
        c = tuple(int(round(v)) for v in c)
        rows.append([c] * w)
    return rows


def notifier_skin(scale=1.0):
    W, H = 240, 150
    cv = Canvas(W, H, scale=scale)
    border = (40, 70, 130)
    cv.fill(rrect(0, 0, W, H, 10), border)
    cv.fill(rrect(1, 1, W - 1, H - 1, 9), vgrad((255, 255, 255), (222, 232, 248), 24, H))
    # title band
    band = rrect(1, 1, W - 1, 60, 9) & rect(0, 0, W, 23)
    cv.fill(band, vgrad((98, 150, 226), (36, 84, 170), 1, 23))
    cv.fill(rect(1, 23, W - 1, 24), (24, 60, 130))
    cv.fill(rect(1, 24, W - 1, 25), (176, 200, 236))
    # the program icon in the title band, drawn at its own size; the title in
    # whole-pixel letters, centred on the band as at 100%
    cv.paste(app_icon(int(round(16 * scale))), int(round(5 * scale)), int(round(4 * scale)))
    block = max(1, int(round(scale)))
    draw_text(cv, 25, (12.5 * scale - 3.5 * block) / scale, "Kelvo Utilities", FONT5x7, (255, 255, 255),
              block=block)
    # close hint on the right: a small x
    cv.fill(line(W - 16, 8, W - 10, 14, 1.6) | line(W - 16, 14, W - 10, 8, 1.6), (220, 232, 250))
    # footer line
    cv.fill(rect(12, H - 16, W - 12, H - 15), (190, 204, 228))
    return cv.rgb(MAGENTA, "key")


# ---------------------------------------------------------------------------
# Program icon
# ---------------------------------------------------------------------------


def app_icon(size):
    s = float(size)
    cv = Canvas(size, size, ss=6 if size <= 16 else 4)

    def P(x, y):
        return (x * s, y * s)

    m = 0.5 if size <= 16 else 1.0
    cv.fill(rrect(m * 0.5, m * 0.5, s - m * 0.5, s - m * 0.5, s * 0.2), (16, 48, 120))
    cv.fill(rrect(m * 1.5, m * 1.5, s - m * 1.5, s - m * 1.5, s * 0.2 - m),
            vgrad((96, 160, 240), (28, 80, 180), 0, s))
    # glossy top half
    cv.fill(ellipse(s * 0.5, s * 0.08, s * 0.62, s * 0.36) & rrect(m * 1.5, m * 1.5, s - m * 1.5, s, s * 0.2),
            (255, 255, 255, 0.16))
    # broom handle
    hw = max(1.5, s * 0.085)
    cv.fill(line(*P(0.80, 0.14), *P(0.42, 0.58), hw + max(1.0, s * 0.04)), (70, 36, 10))
    cv.fill(line(*P(0.80, 0.14), *P(0.42, 0.58), hw), dgrad((236, 180, 110), (170, 100, 40), *P(0.6, 0.3), *P(0.66, 0.36)))
    # bristles
    br = [P(0.33, 0.50), P(0.51, 0.65), P(0.40, 0.93), P(0.07, 0.66)]
    cv.fill(polygon(br), (120, 70, 10))
    inset = [P(0.345, 0.525), P(0.48, 0.64), P(0.39, 0.89), P(0.11, 0.665)]
    cv.fill(polygon(inset), dgrad((255, 226, 110), (220, 150, 30), *P(0.4, 0.55), *P(0.22, 0.8)))
    if size >= 32:
        for t in (0.25, 0.5, 0.75):
            a = (0.345 + (0.48 - 0.345) * t, 0.525 + (0.64 - 0.525) * t)
            b = (0.11 + (0.39 - 0.11) * t, 0.665 + (0.89 - 0.665) * t)
            cv.fill(line(a[0] * s, a[1] * s, b[0] * s, b[1] * s, max(0.8, s * 0.025)), (190, 120, 20))
    # binding
    cv.fill(line(*P(0.33, 0.50), *P(0.51, 0.65), max(1.6, s * 0.07), cap=False), (200, 40, 40))
    # sparkles
    cv.fill(star4(*P(0.72, 0.70), s * 0.16, s * 0.045), (255, 255, 255))
    if size >= 32:
        cv.fill(star4(*P(0.24, 0.25), s * 0.10, s * 0.03), (255, 250, 210))
        cv.fill(star4(*P(0.86, 0.46), s * 0.07, s * 0.022), (255, 255, 255))
    return cv


# ---------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------


def bmp24(rows):
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line_ = bytearray()
        for r, g, b in rows[y]:
            line_ += bytes((b, g, r))
        line_ += b"\0" * (stride - len(line_))
        data += line_
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    return bytes(head + info + data)


def median_cut(rows, keep, size=256):
    """A palette of at most `size` colours for the pixels of `rows`: `keep`
    (the key colour) exactly, the rest by median cut, weighted by how often
    each colour is used (so wide gradients keep all their steps).
    Deterministic: ties are broken by colour order."""
    counts = {}
    for row in rows:
        for c in row:
            if c != keep:
                counts[c] = counts.get(c, 0) + 1
    boxes = [sorted(counts)]
    while len(boxes) < size - 1:
        best, axis, score = None, 0, 0.0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            weight = math.sqrt(sum(counts[c] for c in box))
            for a in range(3):
                spread = max(c[a] for c in box) - min(c[a] for c in box)
                if spread * weight > score:
                    best, axis, score = i, a, spread * weight
        if best is None:
            break
        box = sorted(boxes[best], key=lambda c: (c[axis], c))
        total = sum(counts[c] for c in box)
        run, cut = 0, 1
        for i, c in enumerate(box[:-1]):
            run += counts[c]
            cut = i + 1
            if run * 2 >= total:
                break
        boxes[best:best + 1] = [box[:cut], box[cut:]]
    palette = [keep]
    for box in boxes:
        n = sum(counts[c] for c in box)
        avg = tuple(int(round(sum(c[a] * counts[c] for c in box) / float(n))) for a in range(3))
        if avg == keep:
            avg = (avg[0] - 1, avg[1], avg[2] - 1)
        palette.append(avg)
    return palette


def bmp8(rows, keep=MAGENTA):
    """An 8-bit bitmap: a quarter of the bytes of bmp24 for pictures whose
    colours are mostly gradients (the notifier skins)."""
    palette = median_cut(rows, keep)
    index = {}

    def nearest(c):
        if c not in index:
            if c == keep:
                index[c] = 0
            else:
                index[c] = min(range(1, len(palette)),
                               key=lambda i: (sum((palette[i][a] - c[a]) ** 2 for a in range(3)), i))
        return index[c]
    h = len(rows)
    w = len(rows[0])
    stride = (w + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line_ = bytearray(nearest(c) for c in rows[y])
        line_ += b"\0" * (stride - len(line_))
        data += line_
    colors = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    colors += b"\0\0\0\0" * (256 - len(palette))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(colors) + len(data), 0, 0, 14 + 40 + len(colors))
    return bytes(head + info + colors + data)


def ico(canvases):
    images = []
    for cv in canvases:
        w, h = cv.w, cv.h
        xor = bytearray()
        mask_stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            bits = 0
            mrow = bytearray(mask_stride)
            for x in range(w):
                r, g, b, a = cv.px[y * w + x]
                av = max(0, min(255, int(round(a * 255))))
                if av == 0:
                    xor += b"\0\0\0\0"
                    mrow[x // 8] |= 0x80 >> (x % 8)
                else:
                    xor += bytes((max(0, min(255, int(round(b)))), max(0, min(255, int(round(g)))),
                                  max(0, min(255, int(round(r)))), av))
            mask += mrow
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((w, h, bytes(info + xor + mask)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


HAND = [
    ".....BB..........",
    "....BWWB.........",
    "....BWWB.........",
    "....BWWB.........",
    "....BWWB.........",
    "....BWWBBB.......",
    "....BWWBWWBBB....",
    "....BWWBWWBWWBB..",
    ".BB.BWWBWWBWWBWB.",
    "BWWBBWWWWWWWWBWWB",
    "BWWWBWWWWWWWWWWWB",
    ".BWWBWWWWWWWWWWWB",
    "..BWWWWWWWWWWWWWB",
    "..BWWWWWWWWWWWWWB",
    "...BWWWWWWWWWWWWB",
    "...BWWWWWWWWWWWB.",
    "....BWWWWWWWWWWB.",
    "....BWWWWWWWWWB..",
    ".....BWWWWWWWWB..",
    ".....BWWWWWWWWB..",
    ".....BBBBBBBBBB..",
]
HAND_HOTSPOT = (5, 0)


def cur_hand(sizes=(32, 48, 64)):
    """The hand in every cursor size the display scales use (the system
    picks the one of its cursor size); larger ones repeat the pixels of the
    32-pixel drawing."""
    images = []
    for w in sizes:
        h = w
        stride = ((w + 31) // 32) * 4
        xor = bytearray()
        andm = bytearray()
        for y in range(h - 1, -1, -1):
            xrow = bytearray(stride)
            arow = bytearray(b"\xff" * stride)
            sy = y * 32 // h
            for x in range(w):
                sx = x * 32 // w
                c = "."
                if sy < len(HAND) and sx < len(HAND[sy]):
                    c = HAND[sy][sx]
                if c != ".":
                    arow[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
                    if c == "W":
                        xrow[x // 8] |= 0x80 >> (x % 8)
            xor += xrow
            andm += arow
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 1, 0, len(xor) + len(andm), 0, 0, 2, 2)
        palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
        hot = (HAND_HOTSPOT[0] * w // 32, HAND_HOTSPOT[1] * h // 32)
        images.append((w, h, hot, info + palette + bytes(xor) + bytes(andm)))
    out = bytearray(struct.pack("<HHH", 0, 2, len(images)))
    offset = 6 + 16 * len(images)
    for w, h, hot, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 2, 0, hot[0], hot[1], len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    return bytes(out)


# ---------------------------------------------------------------------------
# Busy animation (AVI, 8-bit uncompressed DIB frames)
# ---------------------------------------------------------------------------

AVI_W, AVI_H, AVI_FRAMES, AVI_FPS = 48, 16, 10, 10
AVI_BG = (236, 236, 236)


def busy_frames(scale=1.0):
    dots = 5
    xs = [6.0 + 9.0 * i for i in range(dots)]
    pale = (196, 206, 224)
    strong = (28, 92, 200)
    frames = []
    for k in range(AVI_FRAMES):
        pos = k * dots / float(AVI_FRAMES)
        cv = Canvas(AVI_W, AVI_H, scale=scale)
        cv.fill(rect(0, 0, AVI_W, AVI_H), AVI_BG)
        for i, x in enumerate(xs):
            d = (i - pos) % dots
            d = min(d, dots - d)
            b = max(0.0, 1.0 - d / 1.6)
            col = tuple(pale[j] + (strong[j] - pale[j]) * b for j in range(3))
            r = 2.4 + 1.4 * b
            cv.fill(circle(x + 0.5, 8.0, r), col)
        rows = cv.rgb(AVI_BG, "blend")
        frames.append([[tuple((v + 2) // 4 * 4 if v < 254 else 255 for v in c) for c in row]
                       for row in rows])
    # the first pixel keeps the background colour exactly: the animation
    # control takes it as the transparent colour
    for f in frames:
        f[0][0] = AVI_BG
    return frames


def avi(frames):
    width, height = len(frames[0][0]), len(frames[0])
    colors = []
    seen = {}
    for c in [AVI_BG] + sorted({c for f in frames for row in f for c in row}):
        if c not in seen:
            seen[c] = len(colors)
            colors.append(c)
    if len(colors) > 256:
        raise SystemExit("busy clip needs %d colours" % len(colors))
    stride = (width + 3) & ~3
    frame_size = stride * height
    chunks = []
    for f in frames:
        data = bytearray()
        for y in range(height - 1, -1, -1):
            row = bytearray(seen[c] for c in f[y])
            row += b"\0" * (stride - len(row))
            data += row
        chunks.append(bytes(data))

    def chunk(fourcc, data):
        pad = b"\0" if len(data) % 2 else b""
        return fourcc + struct.pack("<I", len(data)) + data + pad

    def lst(kind, data):
        return b"LIST" + struct.pack("<I", len(data) + 4) + kind + data

    usec = 1000000 // AVI_FPS
    avih = struct.pack("<IIIIIIIIII4I", usec, frame_size * AVI_FPS, 0, 0x10, len(frames), 0, 1,
                       frame_size, width, height, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"DIB ", 0, 0, 0, 0, 1, AVI_FPS, 0,
                       len(frames), frame_size, 0xFFFFFFFF, 0, 0, 0, width, height)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colors)
    palette += b"\0\0\0\0" * (256 - len(colors))
    strf = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, frame_size, 0, 0, 256, 0) + palette
    hdrl = lst(b"hdrl", chunk(b"avih", avih) + lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf)))
    movi_data = b""
    index = b""
    for data in chunks:
        offset = 4 + len(movi_data)  # from the 'movi' fourcc
        movi_data += chunk(b"00db", data)
        index += b"00db" + struct.pack("<III", 0x10, offset, len(data))
    movi = lst(b"movi", movi_data)
    body = b"AVI " + hdrl + movi + chunk(b"idx1", index)
    return b"RIFF" + struct.pack("<I", len(body)) + body


# ---------------------------------------------------------------------------
# Notify chime (WAVE, PCM 16-bit mono 22050 Hz)
# ---------------------------------------------------------------------------


def chime():
    rate = 22050
    length = int(rate * 0.75)
    notes = [(0.000, 1046.50, 0.55), (0.110, 1567.98, 0.50)]  # C6, then G6
    samples = []
    for n in range(length):
        t = n / float(rate)
        v = 0.0
        for start, freq, amp in notes:
            if t < start:
                continue
            u = t - start
            env = amp * min(1.0, u / 0.004) * math.exp(-u * 6.5)
            v += env * (math.sin(2 * math.pi * freq * u)
                        + 0.28 * math.sin(2 * math.pi * 2 * freq * u) * math.exp(-u * 9.0)
                        + 0.10 * math.sin(2 * math.pi * 3.01 * freq * u) * math.exp(-u * 14.0))
        tail = length - n
        if tail < 1100:
            v *= tail / 1100.0
        samples.append(max(-32767, min(32767, int(round(v * 0.42 * 32767)))))
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    if len(data) % 2:
        body += b"\0"
    return b"RIFF" + struct.pack("<I", len(body)) + body


# ---------------------------------------------------------------------------


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "gen")
    os.makedirs(out, exist_ok=True)
    files = {
        "KelvoUtils.ico": ico([app_icon(64), app_icon(48), app_icon(32), app_icon(24), app_icon(16)]),
        "hand.cur": cur_hand(),
        "notify.wav": chime(),
    }
    # Every picture at 100%, and as drawn for the 150% and 200% display scales.
    for scale, suffix in ((1.0, ""), (1.5, "-150"), (2.0, "-200")):
        files.update({
            "toolbar%s.bmp" % suffix: bmp24(strip(TOOLBAR_IMAGES, scale)),
            "outbar%s.bmp" % suffix: bmp24(strip(OUTBAR_IMAGES, scale)),
            "registry%s.bmp" % suffix: bmp24(strip(REGISTRY_IMAGES, scale)),
            "bulb%s.bmp" % suffix: bmp24(bulb_bitmap(scale)),
            "rebar%s.bmp" % suffix: bmp24(rebar_tile(scale)),
            # the larger skins in 256 colours: they would otherwise be most of the program's size
            "notifier%s.bmp" % suffix: (bmp8 if suffix else bmp24)(notifier_skin(scale)),
            "busy%s.avi" % suffix: avi(busy_frames(scale)),
        })
    for name in sorted(files):
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(files[name])
        print("%-20s %7d bytes" % (name, len(files[name])))


if __name__ == "__main__":
    main()
