#!/usr/bin/env python3
"""Draws every image and the application icon of the cashier client.

Everything is vector-drawn with Pillow at four times the final size and
downsampled, so edges are anti-aliased.  The output is deterministic: running
the script twice gives byte-identical files.

    python3 resources/tools/make_images.py      # writes resources/images/*, resources/icon/*

Needs Pillow (Debian: python3-pil) and the Noto Sans CJK fonts (fonts-noto-cjk).
"""

import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
IMAGES = os.path.join(ROOT, "images")
ICON = os.path.join(ROOT, "icon")

S = 4  # supersampling factor

FONT_DIR = "/usr/share/fonts/opentype/noto"
FONT_BOLD = os.path.join(FONT_DIR, "NotoSansCJK-Bold.ttc")
FONT_REGULAR = os.path.join(FONT_DIR, "NotoSansCJK-Regular.ttc")
FONT_SC = 2  # face index of "Noto Sans CJK SC" inside the collections

PRODUCT = "柚屿智付"

# Palette
BLUE = (0, 170, 255)          # #00AAFF brand blue
BLUE_DARK = (0, 136, 204)     # #0088CC pressed / emphasis
BLUE_DEEP = (0, 110, 176)     # shading on dark buttons
BLUE_LIGHT = (225, 243, 255)  # tinted light surface
BLUE_PALE = (240, 249, 255)
WHITE = (255, 255, 255)
INK = (51, 51, 51)
BORDER = (211, 222, 232)


def rgba(c, a=255):
    return (c[0], c[1], c[2], a)


def hexc(s):
    s = s.lstrip("#")
    return tuple(int(s[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


_fonts = {}


def font(px, bold=True):
    key = (px, bold)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(FONT_BOLD if bold else FONT_REGULAR,
                                         int(round(px * S)), index=FONT_SC)
    return _fonts[key]


class Canvas:
    """An RGBA drawing surface in final-pixel coordinates, rendered at S x."""

    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.im = Image.new("RGBA", (w * S, h * S), bg)

    # -- helpers -----------------------------------------------------------
    def _layer(self):
        return Image.new("RGBA", self.im.size, (0, 0, 0, 0))

    def _put(self, layer):
        self.im = Image.alpha_composite(self.im, layer)

    @staticmethod
    def _sc(seq):
        return [v * S for v in seq]

    @staticmethod
    def _pts(points):
        return [(x * S, y * S) for x, y in points]

    def _col(self, c):
        return c if c is None or len(c) == 4 else rgba(c)

    # -- primitives ----------------------------------------------------------
    def rrect(self, box, r, fill=None, outline=None, width=1):
        lay = self._layer()
        d = ImageDraw.Draw(lay)
        d.rounded_rectangle(self._sc(box), radius=r * S, fill=self._col(fill),
                            outline=self._col(outline), width=int(round(width * S)))
        self._put(lay)

    def rect(self, box, fill):
        lay = self._layer()
        ImageDraw.Draw(lay).rectangle(self._sc(box), fill=self._col(fill))
        self._put(lay)

    def ellipse(self, box, fill=None, outline=None, width=1):
        lay = self._layer()
        ImageDraw.Draw(lay).ellipse(self._sc(box), fill=self._col(fill),
                                    outline=self._col(outline), width=int(round(width * S)))
        self._put(lay)

    def circle(self, cx, cy, r, fill=None, outline=None, width=1):
        self.ellipse((cx - r, cy - r, cx + r, cy + r), fill, outline, width)

    def polygon(self, points, fill):
        lay = self._layer()
        ImageDraw.Draw(lay).polygon(self._pts(points), fill=self._col(fill))
        self._put(lay)

    def stroke(self, points, width, fill, caps=True):
        """Polyline with round joins and round caps."""
        lay = self._layer()
        d = ImageDraw.Draw(lay)
        col = self._col(fill)
        w = width * S
        d.line(self._pts(points), fill=col, width=int(round(w)), joint="curve")
        if caps:
            for x, y in points:
                d.ellipse((x * S - w / 2, y * S - w / 2, x * S + w / 2, y * S + w / 2), fill=col)
        self._put(lay)

    def arc(self, box, start, end, width, fill):
        lay = self._layer()
        ImageDraw.Draw(lay).arc(self._sc(box), start, end, fill=self._col(fill),
                                width=int(round(width * S)))
        self._put(lay)

    def text(self, xy, s, px, fill, bold=True, anchor="mm"):
        lay = self._layer()
        ImageDraw.Draw(lay).text((xy[0] * S, xy[1] * S), s, font=font(px, bold),
                                 fill=self._col(fill), anchor=anchor)
        self._put(lay)

    def text_width(self, s, px, bold=True):
        return font(px, bold).getlength(s) / S

    def gradient(self, box, top, bottom, r=0, horizontal=False):
        """Fill box with a linear gradient, optionally clipped to a rounded rect."""
        x0, y0, x1, y1 = [int(round(v * S)) for v in box]
        w, h = x1 - x0, y1 - y0
        top, bottom = self._col(top), self._col(bottom)
        n = w if horizontal else h
        strip = Image.new("RGBA", (n, 1) if horizontal else (1, n))
        for i in range(n):
            c = mix(top, bottom, i / max(1, n - 1))
            strip.putpixel((i, 0) if horizontal else (0, i), c)
        grad = strip.resize((w, h), Image.NEAREST)
        mask = Image.new("L", (w, h), 0)
        ImageDraw.Draw(mask).rounded_rectangle((0, 0, w - 1, h - 1), radius=r * S, fill=255)
        lay = self._layer()
        a = grad.getchannel("A")
        grad.putalpha(ImageChops.multiply(a, mask))
        lay.paste(grad, (x0, y0))
        self._put(lay)

    def shadow(self, draw_fn, offset=(0, 2), blur=3, color=(0, 60, 110, 70)):
        """Soft drop shadow of whatever draw_fn draws on a scratch canvas."""
        tmp = Canvas(self.w, self.h)
        draw_fn(tmp)
        alpha = tmp.im.getchannel("A")
        sh = Image.new("RGBA", self.im.size, color[:3] + (0,))
        sh.putalpha(alpha.point(lambda v: v * color[3] // 255))
        sh = sh.filter(ImageFilter.GaussianBlur(blur * S))
        lay = self._layer()
        lay.paste(sh, (int(offset[0] * S), int(offset[1] * S)))
        self._put(lay)

    def paste(self, other, xy=(0, 0)):
        lay = self._layer()
        lay.paste(other.im, (int(xy[0] * S), int(xy[1] * S)))
        self._put(lay)

    def rotated(self, angle, center):
        """Rotate the whole drawing about center (final-pixel coords), degrees ccw."""
        self.im = self.im.rotate(angle, resample=Image.BICUBIC,
                                 center=(center[0] * S, center[1] * S))

    def image(self, scale=1):
        return self.im.resize((self.w * scale, self.h * scale), Image.LANCZOS)


def leaf_points(cx, cy, length, width, angle, n=40):
    """Pointed leaf (lens shape) centred on cx, cy, its axis at angle degrees."""
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)
    pts = []
    for i in range(n + 1):
        t = i / n
        pts.append((length * (t - 0.5), width / 2 * math.sin(math.pi * t) ** 0.8))
    for i in range(n - 1, 0, -1):
        t = i / n
        pts.append((length * (t - 0.5), -width / 2 * math.sin(math.pi * t) ** 0.8))
    return [(cx + x * ca - y * sa, cy + x * sa + y * ca) for x, y in pts]


def ellipse_points(cx, cy, rx, ry, angle=0.0, n=96):
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)
    pts = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x, y = rx * math.cos(t), ry * math.sin(t)
        pts.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return pts


# ---------------------------------------------------------------------------
# Output
# ---------------------------------------------------------------------------

written = []


def hidpi_name(name, scale):
    """foo.png -> foo@2x.png: the name Qt looks for on a screen scaled by that factor."""
    stem, ext = os.path.splitext(name)
    return "%s@%dx%s" % (stem, scale, ext)


def save_png(name, c):
    """Writes the image at its size and, from the same drawing, at twice its size for screens scaled 200%."""
    for scale in (1, 2):
        out = name if scale == 1 else hidpi_name(name, scale)
        img = c.image(scale) if isinstance(c, Canvas) else c
        img.save(os.path.join(IMAGES, out), "PNG", optimize=True)
        written.append((out, img.size))
        if not isinstance(c, Canvas):
            break


def save_jpg(name, c):
    for scale in (1, 2):
        out = name if scale == 1 else hidpi_name(name, scale)
        img = (c.image(scale) if isinstance(c, Canvas) else c).convert("RGB")
        img.save(os.path.join(IMAGES, out), "JPEG", quality=95, subsampling=0, optimize=True)
        written.append((out, img.size))
        if not isinstance(c, Canvas):
            break


# ---------------------------------------------------------------------------
# Brand mark: a pomelo slice
# ---------------------------------------------------------------------------

def draw_mark(c, cx, cy, r, disc, slice_col, segments=7, leaf=True):
    """Round brand mark: disc of colour `disc` holding a citrus slice of colour `slice_col`."""
    if disc is not None:
        c.circle(cx, cy, r, fill=disc)
    # rind
    c.circle(cx, cy, r * 0.74, outline=slice_col, width=max(0.6, r * 0.085))
    # segments: a disc with the separators and the core cut out
    rs = r * 0.56
    seg = Canvas(c.w, c.h)
    seg.circle(cx, cy, rs, fill=slice_col)
    cut = Image.new("L", seg.im.size, 255)
    d = ImageDraw.Draw(cut)
    gap = max(0.5, r * 0.085) * S
    if segments < 7:
        gap = max(1.0, r * 0.14) * S
    for k in range(segments):
        a = math.radians(-90 + k * 360 / segments)
        d.line([(cx * S, cy * S), ((cx + math.cos(a) * rs * 1.2) * S, (cy + math.sin(a) * rs * 1.2) * S)],
               fill=0, width=int(round(gap)))
    rc = r * 0.12 * S
    d.ellipse((cx * S - rc, cy * S - rc, cx * S + rc, cy * S + rc), fill=0)
    seg.im.putalpha(ImageChops.multiply(seg.im.getchannel("A"), cut))
    c._put(seg.im)
    if not leaf:
        return
    # leaf sprouting from the rind, upper right
    a = math.radians(-50)
    lx, ly = cx + math.cos(a) * r * 0.80, cy + math.sin(a) * r * 0.80
    c.polygon(leaf_points(lx, ly, r * 0.56, r * 0.27, -70), slice_col)


# ---------------------------------------------------------------------------
# Icons for the page buttons (drawn into a 40 x 40 box at ox, oy)
# ---------------------------------------------------------------------------

def icon_scan(c, ox, oy, col, bg):
    w = 3.0
    L = 9
    for (x, y, dx, dy) in ((4, 4, 1, 1), (36, 4, -1, 1), (4, 36, 1, -1), (36, 36, -1, -1)):
        c.stroke([(ox + x, oy + y + dy * L), (ox + x, oy + y), (ox + x + dx * L, oy + y)], w, col)
    # QR finder squares
    for (x, y) in ((11, 11), (22, 11), (11, 22)):
        c.rrect((ox + x, oy + y, ox + x + 7, oy + y + 7), 1.2, outline=col, width=1.8)
        c.rect((ox + x + 2.6, oy + y + 2.6, ox + x + 4.4, oy + y + 4.4), col)
    for (x, y) in ((23, 23), (27, 27), (23, 27.5), (27.5, 23)):
        c.rect((ox + x, oy + y, ox + x + 2.2, oy + y + 2.2), col)
    # scan line
    c.stroke([(ox + 1, oy + 20), (ox + 39, oy + 20)], 2.2, col)


def icon_query(c, ox, oy, col, bg):
    c.rrect((ox + 5, oy + 3, ox + 28, oy + 35), 3.5, outline=col, width=2.6)
    for i, y in enumerate((11, 17, 23)):
        c.stroke([(ox + 10, oy + y), (ox + (23 if i < 2 else 16), oy + y)], 2.2, col)
    mx, my, mr = ox + 26, oy + 25, 7.5
    c.circle(mx, my, mr + 2.2, fill=bg)
    c.circle(mx, my, mr, outline=col, width=2.8)
    c.stroke([(mx + 5.6, my + 5.6), (ox + 37, oy + 37)], 3.4, col)


def icon_shop(c, ox, oy, col, bg):
    # building body
    c.stroke([(ox + 8.3, oy + 15), (ox + 8.3, oy + 34.7), (ox + 31.7, oy + 34.7), (ox + 31.7, oy + 15)], 2.6, col)
    # door
    c.rrect((ox + 16, oy + 25, ox + 24, oy + 36), 1.5, fill=col)
    # awning band
    c.rrect((ox + 3, oy + 5, ox + 37, oy + 14.5), 2, fill=col)
    # scallops
    for k in range(4):
        x0 = ox + 3 + k * 8.5
        c.ellipse((x0, oy + 9, x0 + 8.5, oy + 18), fill=col)


def icon_ticket(c, ox, oy, col, bg):
    t = Canvas(c.w, c.h)
    x0, y0, x1, y1 = ox + 2, oy + 10, ox + 38, oy + 30
    t.rrect((x0, y0, x1, y1), 3, fill=col)
    cy = (y0 + y1) / 2
    t.circle(x0, cy, 3.6, fill=bg)
    t.circle(x1, cy, 3.6, fill=bg)
    for k in range(5):
        yy = y0 + 2.2 + k * 3.4
        t.stroke([(ox + 28, yy), (ox + 28, yy + 1.6)], 1.4, bg)
    # star on the stub
    sx, sy, R, r = ox + 15, cy, 5.6, 2.4
    pts = []
    for k in range(10):
        a = math.radians(-90 + k * 36)
        rr = R if k % 2 == 0 else r
        pts.append((sx + math.cos(a) * rr, sy + math.sin(a) * rr))
    t.polygon(pts, bg)
    t.rotated(18, (ox + 20, oy + 20))
    c._put(t.im)


# ---------------------------------------------------------------------------
# Windows and backgrounds
# ---------------------------------------------------------------------------

def soft_decor(c, w, h, strength=1.0):
    a = lambda v: int(v * strength)  # noqa: E731
    c.circle(w * 0.92, h * 0.05, h * 0.62, fill=(255, 255, 255, a(22)))
    c.circle(w * 0.80, h * -0.10, h * 0.40, fill=(255, 255, 255, a(20)))
    c.circle(w * 0.04, h * 1.02, h * 0.45, fill=(255, 255, 255, a(16)))


def wave(c, w, y, amp, period, phase, fill):
    pts = [(0, c.h)]
    n = 120
    for i in range(n + 1):
        x = w * i / n
        pts.append((x, y + amp * math.sin(2 * math.pi * x / period + phase)))
    pts.append((w, c.h))
    c.polygon(pts, fill)


def make_login_bg():
    w, h = 420, 330
    c = Canvas(w, h)
    c.gradient((0, 0, w, h), hexc("#14B6FF"), hexc("#0092E6"))
    soft_decor(c, w, h)
    wave(c, w, h - 46, 9, 300, 0.6, (255, 255, 255, 22))
    wave(c, w, h - 30, 7, 230, 2.4, (255, 255, 255, 26))
    # sparse dots
    rnd = random.Random(11)
    for _ in range(26):
        x, y = rnd.uniform(0, w), rnd.uniform(0, h * 0.75)
        r = rnd.uniform(0.8, 1.9)
        c.circle(x, y, r, fill=(255, 255, 255, rnd.randint(40, 90)))
    save_png("login_bg.png", c)


def make_main_bg():
    w, h, head = 800, 600, 130
    c = Canvas(w, h, rgba(hexc("#F2F5F9")))
    c.gradient((0, 0, w, head), hexc("#0094E8"), hexc("#12B2FF"), horizontal=True)
    hc = Canvas(w, head)
    soft_decor(hc, w, head, 1.1)
    wave(hc, w, head - 20, 6, 340, 1.0, (255, 255, 255, 20))
    c.paste(hc)
    # shadow under the header
    c.gradient((0, head, w, head + 6), (0, 70, 130, 40), (0, 70, 130, 0))
    save_png("main_bg.png", c)


def make_logo():
    w, h = 220, 56
    c = Canvas(w, h)
    draw_mark(c, 28, 28, 23, WHITE, BLUE)
    c.text((60, 28), PRODUCT, 26, WHITE, anchor="lm")
    save_png("Logo.png", c)


def make_pc_logo():
    w, h = 240, 80
    c = Canvas(w, h)
    c.shadow(lambda t: t.circle(40, 40, 30, fill=BLUE), offset=(0, 1.5), blur=2.5,
             color=(0, 90, 150, 70))
    c.gradient((10, 10, 70, 70), hexc("#2CBDFF"), hexc("#0090E0"), r=30)
    draw_mark(c, 40, 40, 30, None, WHITE)
    c.text((82, 40), PRODUCT, 30, BLUE, anchor="lm")
    save_png("pc_logo.png", c)


def make_float_logo():
    c = Canvas(80, 80)
    c.shadow(lambda t: t.circle(40, 40, 35, fill=BLUE), offset=(0, 1.5), blur=2.2,
             color=(0, 60, 110, 90))
    c.circle(40, 40, 36, fill=WHITE)
    c.gradient((6, 6, 74, 74), hexc("#2CBDFF"), hexc("#008FE0"), r=34)
    draw_mark(c, 40, 40, 29, None, WHITE)
    save_png("float_logo.png", c)


def app_icon(size):
    c = Canvas(size, size)
    m = size * 0.04
    r = size * 0.22
    c.gradient((m, m, size - m, size - m), hexc("#2CBDFF"), hexc("#0088D8"), r=r)
    if size <= 24:
        # few, wide segments and no leaf so the slice still reads at tray size
        draw_mark(c, size / 2, size / 2, size * 0.46, None, WHITE, segments=5, leaf=False)
    else:
        draw_mark(c, size / 2, size / 2 + size * 0.02, size * 0.40, None, WHITE)
    return c.image()


def make_icon():
    sizes = [16, 24, 32, 48, 64, 128, 256]
    imgs = {s: app_icon(s) for s in sizes}
    path = os.path.join(ICON, "setup.ico")
    big = imgs[256]
    big.save(path, format="ICO", sizes=[(s, s) for s in sizes],
             append_images=[imgs[s] for s in sizes if s != 256])
    written.append(("../icon/setup.ico", "16, 24, 32, 48, 64, 128, 256"))
    # The same pictures as PNGs for the desktop's icon theme (installed under share/icons/hicolor).
    for s in sizes:
        path = os.path.join(ICON, "hicolor", "%dx%d" % (s, s), "cashier.png")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        imgs[s].save(path, "PNG", optimize=True)
        written.append(("../icon/hicolor/%dx%d/cashier.png" % (s, s), (s, s)))


# ---------------------------------------------------------------------------
# Window buttons
# ---------------------------------------------------------------------------

def make_window_buttons():
    n, m = 32, 16  # size and centre
    for pressed in (False, True):
        suffix = "pre" if pressed else "nor"
        # minimise
        c = Canvas(n, n)
        if pressed:
            c.circle(m, m, 15, fill=(255, 255, 255, 70))
        c.stroke([(m - 6, m + 0.5), (m + 6, m + 0.5)], 2.2, WHITE)
        save_png("min_%s.png" % suffix, c)
        # close
        c = Canvas(n, n)
        if pressed:
            c.circle(m, m, 15, fill=hexc("#F2553F"))
        c.stroke([(m - 5.5, m - 5.5), (m + 5.5, m + 5.5)], 2.2, WHITE)
        c.stroke([(m + 5.5, m - 5.5), (m - 5.5, m + 5.5)], 2.2, WHITE)
        save_png("close_%s.png" % suffix, c)
        # settings gear
        c = Canvas(n, n)
        if pressed:
            c.circle(m, m, 15, fill=(255, 255, 255, 70))
        g = Canvas(n, n)
        teeth = 8
        for k in range(teeth):
            a = math.radians(k * 360 / teeth)
            ca, sa = math.cos(a), math.sin(a)
            hw, r0, r1 = 2.2, 6.2, 10.8
            pts = [(-hw, r0), (hw, r0), (hw * 0.8, r1), (-hw * 0.8, r1)]
            g.polygon([(m + x * ca - y * sa, m + x * sa + y * ca) for x, y in pts], WHITE)
        g.circle(m, m, 8.0, fill=WHITE)
        hole = Image.new("L", g.im.size, 255)
        ImageDraw.Draw(hole).ellipse([v * S for v in (m - 3.5, m - 3.5, m + 3.5, m + 3.5)], fill=0)
        g.im.putalpha(ImageChops.multiply(g.im.getchannel("A"), hole))
        c._put(g.im)
        save_png("set_btn_%s.png" % suffix, c)


# ---------------------------------------------------------------------------
# Page buttons of the main window (radio indicators, 85 x 100)
# ---------------------------------------------------------------------------

PAGES = [
    ("smsk", "扫码收款", icon_scan),
    ("jycx", "交易查询", icon_query),
    ("sjxx", "商家信息", icon_shop),
    ("pwgl", "票务", icon_ticket),
]


def make_page_buttons():
    w, h = 85, 100
    for name, caption, icon in PAGES:
        for checked in (False, True):
            c = Canvas(w, h)
            if checked:
                c.gradient((1, 1, w - 1, h - 1), hexc("#14B4FF"), hexc("#009BF0"), r=9)
                c.rrect((1, 1, w - 1, h - 1), 9, outline=WHITE, width=2)
                fg, bg = WHITE, hexc("#05A6FA")
            else:
                c.rrect((1, 1, w - 1, h - 1), 9, fill=WHITE, outline=hexc("#CFE4F3"), width=1)
                fg, bg = BLUE, WHITE
            icon(c, (w - 40) / 2, 16, fg, bg)
            c.text((w / 2, 77), caption, 14, fg if checked else hexc("#1A8FD8"))
            save_png("%s%s.png" % (name, "_pressed" if checked else ""), c)


# ---------------------------------------------------------------------------
# Button backgrounds (border-image)
# ---------------------------------------------------------------------------

def solid_button(name, w, h, r, top, bottom, edge=None, highlight=True):
    c = Canvas(w, h)
    c.gradient((0, 0, w, h), top, bottom, r=r)
    if highlight:
        c.gradient((1, 1, w - 1, h * 0.5), (255, 255, 255, 30), (255, 255, 255, 0), r=r - 1)
    if edge is not None:
        c.rrect((0, 0, w, h), r, outline=edge, width=1)
    save_png(name, c)


def make_buttons():
    # login button: white pill on the blue login window; carries its own caption
    w, h = 260, 40
    c = Canvas(w, h)
    c.rrect((0, 0, w, h), 20, fill=WHITE)
    c.gradient((0, h * 0.55, w, h), (255, 255, 255, 0), rgba(hexc("#E6F5FF")), r=0)
    c.rrect((0, 0, w, h), 20, outline=hexc("#D8EEFC"), width=1)
    mask_clip(c, w, h, 20)
    c.text((w / 2, h / 2 - 0.5), "登  录", 17, BLUE)
    save_png("login_btn.png", c)

    c = Canvas(w, h)
    c.rrect((0, 0, w, h), 20, fill=hexc("#D5EEFF"))
    c.rrect((0, 0, w, h), 20, outline=hexc("#A8DBFA"), width=1)
    c.text((w / 2, h / 2 - 0.5), "登  录", 17, BLUE_DARK)
    save_png("login_btn_pre.png", c)

    # logging in: dimmed button with a spinner arc
    c = Canvas(w, h)
    c.rrect((0, 0, w, h), 20, fill=(255, 255, 255, 205))
    label = "正在登录…"
    tw = c.text_width(label, 15)
    sx = w / 2 - (tw + 24) / 2 + 8
    c.arc((sx - 8, h / 2 - 8, sx + 8, h / 2 + 8), 0, 360, 2.4, hexc("#CDEBFB"))
    c.arc((sx - 8, h / 2 - 8, sx + 8, h / 2 + 8), -90, 110, 2.4, BLUE)
    c.text((sx + 16, h / 2 - 0.5), label, 15, hexc("#3AA9E8"), anchor="lm")
    save_png("loading.png", c)

    # keypad keys
    for name, fill, edge, shade in (
            ("num_nor.png", WHITE, BORDER, hexc("#EDF1F5")),
            ("num_pre.png", hexc("#DDF1FF"), BLUE, hexc("#CBE9FF")),
            ("calculator.png", hexc("#EAF6FF"), hexc("#A9D9F7"), hexc("#DCEFFC")),
            ("calculator_pre.png", hexc("#C4E7FF"), BLUE_DARK, hexc("#B0DEFF"))):
        w, h = 66, 72
        c = Canvas(w, h)
        c.rrect((0, 0, w, h), 6, fill=fill)
        c.gradient((0, h * 0.5, w, h), rgba(fill, 0), rgba(shade), r=0)
        mask_clip(c, w, h, 6)
        c.rrect((0, 0, w, h), 6, outline=edge, width=1)
        save_png(name, c)

    # primary buttons
    solid_button("sk_nor.png", 380, 72, 10, hexc("#22B9FF"), hexc("#009FF0"))
    solid_button("sk_pre.png", 380, 72, 10, hexc("#0890D6"), hexc("#0079BD"), highlight=False)
    solid_button("select_shop_nor.png", 110, 36, 6, hexc("#1EB6FF"), hexc("#00A0F0"))
    solid_button("select_shop_pre.png", 110, 36, 6, hexc("#0890D6"), hexc("#0079BD"), highlight=False)
    solid_button("print_nor.png", 100, 34, 5, hexc("#1EB6FF"), hexc("#00A0F0"))
    solid_button("print_pre.png", 100, 34, 5, hexc("#0890D6"), hexc("#0079BD"), highlight=False)
    # query buttons also sit on the brand-blue dialogs, so they are one step darker
    solid_button("query_nor.png", 90, 32, 5, hexc("#1797E0"), hexc("#0084CA"),
                 edge=(255, 255, 255, 70))
    solid_button("query_pre.png", 90, 32, 5, hexc("#0076B8"), hexc("#00669F"), highlight=False,
                 edge=(255, 255, 255, 50))
    # any image button that cannot be pressed now: flat grey, so it reads as off beside the blue ones
    solid_button("btn_disabled.png", 90, 32, 5, hexc("#D4D8DC"), hexc("#C4C9CE"), highlight=False,
                 edge=hexc("#B5BBC1"))

    # settings menu buttons: full rectangles (JPEG has no transparency)
    w, h = 130, 36
    c = Canvas(w, h, rgba(hexc("#EAF6FF")))
    c.rect((0, 0, 4, h), BLUE)
    c.rect((0, h - 1, w, h), hexc("#D3E9F8"))
    save_jpg("btn_nom.jpg", c)
    c = Canvas(w, h)
    c.gradient((0, 0, w, h), hexc("#10B0FF"), hexc("#00A4F5"))
    c.rect((0, h - 1, w, h), hexc("#0A98E6"))
    save_jpg("btn_nor.jpg", c)
    c = Canvas(w, h)
    c.gradient((0, 0, w, h), hexc("#0088CC"), hexc("#007DBD"))
    c.rect((0, 0, 4, h), WHITE)
    save_png("btn_pre.png", c)


def mask_clip(c, w, h, r):
    """Clip everything drawn so far to the rounded rect (0, 0, w, h)."""
    mask = Image.new("L", c.im.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, w * S - 1, h * S - 1), radius=r * S, fill=255)
    c.im.putalpha(ImageChops.multiply(c.im.getchannel("A"), mask))


# ---------------------------------------------------------------------------
# Illustrations
# ---------------------------------------------------------------------------

def qr_modules(seed, n=21):
    rnd = random.Random(seed)
    grid = [[rnd.random() < 0.48 for _ in range(n)] for _ in range(n)]

    def finder(x0, y0):
        for y in range(-1, 8):
            for x in range(-1, 8):
                xx, yy = x0 + x, y0 + y
                if 0 <= xx < n and 0 <= yy < n:
                    ring = max(abs(x - 3), abs(y - 3))
                    grid[yy][xx] = ring in (0, 1, 3) if ring <= 3 else False
    finder(0, 0)
    finder(n - 7, 0)
    finder(0, n - 7)
    return grid


def draw_qr(c, x, y, size, col, seed=5):
    grid = qr_modules(seed)
    n = len(grid)
    m = size / n
    lay = Canvas(c.w, c.h)
    d = ImageDraw.Draw(lay.im)
    for j in range(n):
        for i in range(n):
            if grid[j][i]:
                d.rectangle(((x + i * m) * S, (y + j * m) * S,
                             (x + (i + 1) * m) * S - 1, (y + (j + 1) * m) * S - 1), fill=rgba(col))
    c._put(lay.im)


def scan_illustration():
    """Phone showing a payment code under a hand scanner, on transparent, 300 x 190."""
    w, h = 300, 190
    c = Canvas(w, h)
    c.circle(140, 98, 88, fill=(255, 255, 255, 30))
    c.circle(140, 98, 64, fill=(255, 255, 255, 26))
    # phone
    px0, py0, px1, py1 = 72, 22, 150, 178
    c.shadow(lambda t: t.rrect((px0, py0, px1, py1), 13, fill=WHITE), offset=(0, 3), blur=4,
             color=(0, 60, 120, 80))
    c.rrect((px0, py0, px1, py1), 13, fill=hexc("#1F2D3D"))
    c.rrect((px0 + 5, py0 + 16, px1 - 5, py1 - 16), 3, fill=WHITE)
    c.stroke([(103, py0 + 8), (119, py0 + 8)], 2.4, hexc("#44566B"))
    c.circle(111, py1 - 8, 3.6, outline=hexc("#44566B"), width=1.4)
    # code on the screen
    draw_qr(c, 90, 48, 42, hexc("#1F2D3D"))
    rnd = random.Random(3)
    x = 84
    while x < 138:
        bw = rnd.choice((1.0, 1.0, 1.6, 2.4))
        c.rect((x, 104, x + bw, 126), hexc("#1F2D3D"))
        x += bw + rnd.choice((1.0, 1.4, 2.0))
    c.rrect((84, 134, 138, 146), 3, fill=BLUE)
    # scanner
    sc = Canvas(w, h)
    sc.polygon([(214, 86), (246, 86), (256, 146), (230, 152)], WHITE)
    sc.circle(243, 147, 13, fill=WHITE)
    sc.stroke([(236, 106), (243, 138)], 5, hexc("#CDEBFB"))
    sc.polygon([(206, 90), (216, 90), (214, 110), (205, 106)], hexc("#1F2D3D"))
    sc.rrect((176, 56, 264, 98), 20, fill=WHITE)
    sc.rrect((176, 64, 187, 90), 4, fill=hexc("#1F2D3D"))
    sc.rrect((204, 68, 250, 76), 4, fill=hexc("#CDEBFB"))
    sc.circle(240, 86, 3, fill=hexc("#36CFA0"))
    c.shadow(lambda t: t._put(sc.im), offset=(0, 3), blur=4, color=(0, 60, 120, 80))
    c._put(sc.im)
    # beam over the screen
    c.polygon([(177, 70), (177, 84), (138, 150), (138, 44)], (255, 70, 70, 60))
    c.stroke([(84, 97), (138, 97)], 2, (255, 60, 60, 230))
    c.stroke([(138, 97), (177, 77)], 1.2, (255, 80, 80, 160))
    # sparkles
    for (x, y, r) in ((40, 50, 4), (252, 34, 3), (44, 150, 3), (268, 138, 2.5)):
        c.polygon([(x, y - r * 2), (x + r * 0.5, y - r * 0.5), (x + r * 2, y), (x + r * 0.5, y + r * 0.5),
                   (x, y + r * 2), (x - r * 0.5, y + r * 0.5), (x - r * 2, y), (x - r * 0.5, y - r * 0.5)],
                  (255, 255, 255, 200))
    return c


def make_wait_for_pay():
    """Whole background of the 492 x 327 "scan the customer's code" window.

    The window draws the amount box over (96, 96)-(396, 160) and the hint text
    over (20, 270)-(472, 302); the picture sits between them.
    """
    w, h = 492, 327
    c = Canvas(w, h)
    c.gradient((0, 0, w, h), hexc("#0CB2FF"), hexc("#00A2F5"))
    soft_decor(c, w, h, 0.8)
    wave(c, w, h - 40, 6, 320, 1.3, (255, 255, 255, 16))
    # brand, top left
    draw_mark(c, 30, 28, 12, WHITE, BLUE)
    c.text((48, 27.5), PRODUCT, 15, WHITE, anchor="lm")
    # soft plate behind the amount box
    c.rrect((88, 88, 404, 168), 12, fill=(255, 255, 255, 40))
    # the scan picture, scaled into the band between amount and hint
    art = scan_illustration()
    aw, ah = 162, 102
    pic = art.im.resize((aw * S, ah * S), Image.LANCZOS)
    lay = c._layer()
    lay.paste(pic, (int((w - aw) / 2 * S), int(166 * S)))
    c._put(lay)
    save_png("waitForPay.png", c)


def make_pay_succeed():
    """Success badge, 100 x 100, transparent around a white disc."""
    w = h = 100
    c = Canvas(w, h)
    cx, cy = 50, 50
    c.circle(cx, cy, 49, fill=(255, 255, 255, 45))
    c.circle(cx, cy, 44, fill=(255, 255, 255, 70))
    c.shadow(lambda t: t.circle(cx, cy, 37, fill=WHITE), offset=(0, 2), blur=2.5,
             color=(80, 20, 10, 70))
    c.circle(cx, cy, 37, fill=WHITE)
    c.gradient((cx - 30, cy - 30, cx + 30, cy + 30), hexc("#2CBEFF"), hexc("#0096E8"), r=30)
    c.stroke([(cx - 14, cy + 1), (cx - 4.5, cy + 10.5), (cx + 15, cy - 10)], 6.5, WHITE)
    # a few sparkles on the halo
    for (x, y, r, col) in ((14, 22, 3.2, hexc("#FFD666")), (86, 16, 2.6, WHITE),
                           (90, 74, 3.0, hexc("#FFD666")), (12, 80, 2.2, WHITE)):
        c.polygon([(x, y - r), (x + r * 0.3, y - r * 0.3), (x + r, y), (x + r * 0.3, y + r * 0.3),
                   (x, y + r), (x - r * 0.3, y + r * 0.3), (x - r, y), (x - r * 0.3, y - r * 0.3)],
                  rgba(col, 235))
    save_png("pay_succeed.png", c)


def make_inputbg():
    c = Canvas(40, 40)
    c.circle(19, 20, 12, fill=BLUE)
    c.text((19, 19.5), "¥", 16, WHITE)
    c.stroke([(39, 9), (39, 31)], 1, hexc("#E3E3E3"), caps=False)
    save_png("inputbg.png", c)


def make_fawn_face():
    w, h = 160, 160
    c = Canvas(w, h)
    fur = hexc("#D9924E")
    fur_dark = hexc("#C07A3A")
    cream = hexc("#FBEBD6")
    pink = hexc("#F6BFB2")
    ink = hexc("#3A2A22")
    # soft backdrop
    c.circle(80, 84, 72, fill=rgba(BLUE, 26))
    # ears
    for side in (-1, 1):
        ex, ey = 80 + side * 52, 52
        c.polygon(ellipse_points(ex, ey, 25, 12, angle=side * -28), fur_dark)
        c.polygon(ellipse_points(ex + side * 2, ey + 1, 17, 7, angle=side * -28), pink)
    # little antler nubs
    for side in (-1, 1):
        c.polygon(ellipse_points(80 + side * 20, 40, 5, 8, angle=side * 20), hexc("#B0733A"))
    # head
    c.circle(80, 82, 46, fill=fur)
    c.polygon(ellipse_points(80, 108, 33, 26), fur)
    # forehead spots
    for (x, y, rx, ry) in ((70, 50, 4, 3), (82, 46, 3.4, 2.6), (92, 52, 3.2, 2.4), (62, 60, 2.6, 2)):
        c.polygon(ellipse_points(x, y, rx, ry), (255, 250, 240, 220))
    # muzzle
    c.polygon(ellipse_points(80, 112, 25, 19), cream)
    # cheeks
    for side in (-1, 1):
        c.polygon(ellipse_points(80 + side * 31, 101, 8, 5), (242, 140, 140, 110))
    # eyes
    for side in (-1, 1):
        ex, ey = 80 + side * 19, 84
        c.polygon(ellipse_points(ex, ey, 8, 9.5), ink)
        c.circle(ex + 2.6, ey - 3.6, 2.8, fill=WHITE)
        c.circle(ex - 2.6, ey + 3.4, 1.3, fill=WHITE)
        # lashes
        c.stroke([(ex + side * 6.5, ey - 6.5), (ex + side * 10, ey - 9)], 1.6, ink)
    # nose
    c.polygon(ellipse_points(80, 104, 7.5, 5.2), ink)
    c.polygon(ellipse_points(78, 102.5, 2.6, 1.4), (255, 255, 255, 150))
    # mouth
    c.stroke([(80, 109), (80, 114)], 1.8, ink)
    c.arc((72, 108, 80, 118), 20, 160, 1.8, ink)
    c.arc((80, 108, 88, 118), 20, 160, 1.8, ink)
    # tongue peek
    c.polygon(ellipse_points(80, 119.5, 3.2, 2.2), hexc("#F07F86"))
    save_png("fawn_face.png", c)


def make_loading_gif():
    # Drawn once per scale: loading@2x.gif is the sharp copy for screens scaled 200% (the dialog picks it itself,
    # QMovie does not look for @2x names).
    n, frames_count, dots = 61, 12, 12
    for scale in (1, 2):
        frames = []
        for f in range(frames_count):
            c = Canvas(n, n, rgba(WHITE))
            for k in range(dots):
                age = (f - k) % dots  # 0 = the head of the spinner
                t = age / (dots - 1)
                col = mix(BLUE, hexc("#D6EEFC"), min(1.0, t * 1.15))
                rad = 4.2 - 1.6 * t
                a = math.radians(-90 + k * 360 / dots)
                c.circle(30.5 + math.cos(a) * 21, 30.5 + math.sin(a) * 21, rad, fill=col)
            frames.append(c.image(scale).convert("RGB").quantize(colors=64, method=Image.MEDIANCUT,
                                                                 dither=Image.NONE))
        name = "loading.gif" if scale == 1 else hidpi_name("loading.gif", scale)
        frames[0].save(os.path.join(IMAGES, name), save_all=True, append_images=frames[1:], duration=70, loop=0,
                       disposal=1, optimize=False)
        written.append((name, (n * scale, n * scale)))


def main():
    os.makedirs(IMAGES, exist_ok=True)
    os.makedirs(ICON, exist_ok=True)
    make_login_bg()
    make_main_bg()
    make_logo()
    make_pc_logo()
    make_float_logo()
    make_window_buttons()
    make_page_buttons()
    make_buttons()
    make_wait_for_pay()
    make_pay_succeed()
    make_inputbg()
    make_fawn_face()
    make_loading_gif()
    make_icon()
    if "-v" in sys.argv:
        for name, size in written:
            print(name, size)


if __name__ == "__main__":
    main()
