#!/usr/bin/env python3
"""Draws the desktop program's pictures as PNG files into this folder.

The pictures are small vector drawings rendered with 4x4 supersampling:
the six 16x16 tool bar pictures (image0..image5, in the order of the
action list's image indexes: open, close, save, save as, about, new), four
more for the later commands (image6..image9: duplicate, generate all, open
the site in the browser, new project from the modern preset), the six
16x16 menu pictures (menu-*.png) and the application icon in several
sizes (orvana.png at 48 pixels and orvana-<size>.png). Needs only the
Python standard library; run it again after changing a drawing.
"""

import math
import os
import struct
import zlib

SS = 4  # supersampling factor


def png_bytes(width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a)."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def hex_color(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


class Canvas:
    """A supersampled RGBA canvas with coordinates in output pixels."""

    def __init__(self, size):
        self.size = size
        self.n = size * SS
        self.px = [[(0, 0, 0, 0)] * self.n for _ in range(self.n)]

    def _blend(self, x, y, color):
        r, g, b, a = color
        if a == 255:
            self.px[y][x] = color
            return
        dr, dg, db, da = self.px[y][x]
        fa = a / 255.0
        oa = fa + da / 255.0 * (1 - fa)
        if oa == 0:
            return
        mix = lambda s, d: int(round((s * fa + d * (da / 255.0) * (1 - fa)) / oa))
        self.px[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), int(round(oa * 255)))

    def polygon(self, points, color):
        """Fills a polygon given in output-pixel coordinates (even-odd rule)."""
        pts = [(x * SS, y * SS) for x, y in points]
        ys = [p[1] for p in pts]
        for sy in range(max(0, int(min(ys))), min(self.n, int(math.ceil(max(ys))) + 1)):
            cy = sy + 0.5
            xs = []
            for i in range(len(pts)):
                x1, y1 = pts[i]
                x2, y2 = pts[(i + 1) % len(pts)]
                if (y1 <= cy < y2) or (y2 <= cy < y1):
                    xs.append(x1 + (cy - y1) * (x2 - x1) / (y2 - y1))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for sx in range(max(0, int(math.ceil(xs[i] - 0.5))),
                                min(self.n, int(math.floor(xs[i + 1] - 0.5)) + 1)):
                    self._blend(sx, sy, color)

    def rect(self, x, y, w, h, color):
        self.polygon([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], color)

    def frame(self, x, y, w, h, color, t=1.0):
        self.rect(x, y, w, t, color)
        self.rect(x, y + h - t, w, t, color)
        self.rect(x, y, t, h, color)
        self.rect(x + w - t, y, t, h, color)

    def ellipse(self, cx, cy, rx, ry, color, steps=48):
        self.polygon([(cx + rx * math.cos(2 * math.pi * i / steps),
                       cy + ry * math.sin(2 * math.pi * i / steps)) for i in range(steps)], color)

    def line(self, x1, y1, x2, y2, color, width=1.0):
        dx, dy = x2 - x1, y2 - y1
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(x1 + nx, y1 + ny), (x2 + nx, y2 + ny), (x2 - nx, y2 - ny), (x1 - nx, y1 - ny)],
                     color)

    def rounded(self, x, y, w, h, r, color):
        pts = []
        for cx, cy, start in ((x + w - r, y + r, -90), (x + w - r, y + h - r, 0),
                              (x + r, y + h - r, 90), (x + r, y + r, 180)):
            for i in range(9):
                ang = math.radians(start + i * 90 / 8)
                pts.append((cx + r * math.cos(ang), cy + r * math.sin(ang)))
        self.polygon(pts, color)

    def save(self, path):
        out = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                acc = [0.0, 0.0, 0.0, 0.0]
                for sy in range(SS):
                    for sx in range(SS):
                        r, g, b, a = self.px[y * SS + sy][x * SS + sx]
                        acc[0] += r * a
                        acc[1] += g * a
                        acc[2] += b * a
                        acc[3] += a
                if acc[3] == 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append((int(round(acc[0] / acc[3])), int(round(acc[1] / acc[3])),
                                int(round(acc[2] / acc[3])), int(round(acc[3] / (SS * SS)))))
            out.append(row)
        with open(path, "wb") as f:
            f.write(png_bytes(self.size, self.size, out))


INK = hex_color("3a3a3a")
PAPER = hex_color("ffffff")
PAPER_SHADE = hex_color("dfe6ee")
LINE = hex_color("9aa8b8")


def sheet(c, x=3, y=1, w=10, h=14, fold=3):
    c.polygon([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)], INK)
    c.polygon([(x + 1, y + 1), (x + w - fold - 0.4, y + 1), (x + w - 1, y + fold + 0.4),
               (x + w - 1, y + h - 1), (x + 1, y + h - 1)], PAPER)
    c.polygon([(x + w - fold, y + 0.5), (x + w - 0.5, y + fold), (x + w - fold, y + fold)], PAPER_SHADE)


def text_lines(c, x, y, w, count, step=2):
    for i in range(count):
        c.rect(x, y + i * step, w - (2 if i % 2 else 0), 1, LINE)


def folder(c, open_=True, body="e8b339", front="f7d35c"):
    c.polygon([(1, 3), (6, 3), (7.5, 4.5), (14, 4.5), (14, 13), (1, 13)], hex_color("8a6410"))
    c.polygon([(2, 4), (5.6, 4), (7.1, 5.5), (13, 5.5), (13, 12), (2, 12)], hex_color(body))
    if open_:
        c.polygon([(3.5, 7), (15.5, 7), (13, 13), (1, 13)], hex_color("8a6410"))
        c.polygon([(4.2, 8), (14.2, 8), (12.3, 12), (2.3, 12)], hex_color(front))
    else:
        c.rect(2, 7, 11, 5, hex_color(front))


def floppy(c, body="2f5f9e", label="ffffff", shutter="c9d3de"):
    c.polygon([(1, 1), (13, 1), (15, 3), (15, 15), (1, 15)], hex_color("1c3559"))
    c.polygon([(2, 2), (12.6, 2), (14, 3.4), (14, 14), (2, 14)], hex_color(body))
    c.rect(4, 2, 8, 5, hex_color(label))
    c.rect(9, 3, 2, 3, hex_color(body))
    c.rect(4, 9, 8, 5, hex_color(shutter))
    c.rect(5, 10, 2, 3, hex_color("7c8a99"))


def pencil(c):
    c.line(9, 15, 15, 9, hex_color("5a3d12"), 3.2)
    c.line(9.6, 14.4, 14.4, 9.6, hex_color("f2b233"), 2.0)
    c.polygon([(7.6, 16), (8, 13.6), (10.4, 16)], hex_color("3a3a3a"))


def red_cross(c, x1, y1, x2, y2, width=2.4):
    c.line(x1, y1, x2, y2, hex_color("8c1010"), width + 1)
    c.line(x2, y1, x1, y2, hex_color("8c1010"), width + 1)
    c.line(x1, y1, x2, y2, hex_color("e03030"), width)
    c.line(x2, y1, x1, y2, hex_color("e03030"), width)


def star(c, cx, cy, r, color):
    pts = []
    for i in range(10):
        rad = r if i % 2 == 0 else r * 0.45
        ang = math.radians(-90 + i * 36)
        pts.append((cx + rad * math.cos(ang), cy + rad * math.sin(ang)))
    c.polygon(pts, hex_color("9a6a00"))
    inner = [(cx + (x - cx) * 0.72, cy + (y - cy) * 0.72) for x, y in pts]
    c.polygon(inner, hex_color(color))


def info_circle(c, fill="2f6fd0"):
    c.ellipse(8, 8, 7.2, 7.2, hex_color("1b3f7a"))
    c.ellipse(8, 8, 6.2, 6.2, hex_color(fill))
    c.ellipse(8, 4.6, 1.2, 1.2, PAPER)
    c.rect(7, 6.8, 2, 5.4, PAPER)
    c.rect(6, 11.2, 4, 1, PAPER)


def draw(name, painter, size=16):
    c = Canvas(size)
    painter(c)
    c.save(os.path.join(os.path.dirname(os.path.abspath(__file__)), name))


# --- Tool bar pictures (image list indexes) ---------------------------------

def image0_open(c):
    folder(c, open_=True)


def image1_close(c):
    sheet(c)
    text_lines(c, 5, 5, 6, 4)
    red_cross(c, 7, 7, 14, 14, 2.0)


def image2_save(c):
    floppy(c)


def image3_save_as(c):
    floppy(c, body="3b7a4c", shutter="d5ddd0")
    pencil(c)


def image4_about(c):
    info_circle(c)


def image5_new(c):
    sheet(c, x=4)
    text_lines(c, 6, 7, 6, 4)
    star(c, 4.5, 4.5, 4.2, "ffd23a")


def image6_duplicate(c):
    sheet(c, x=1, y=1, w=9, h=11)
    text_lines(c, 3, 4, 5, 3)
    sheet(c, x=6, y=4, w=9, h=11)
    text_lines(c, 8, 8, 5, 3)


def image7_generate_all(c):
    for i, (x, y) in enumerate(((1, 1), (3.5, 3), (6, 5))):
        c.rect(x, y, 8, 10, INK)
        c.rect(x + 1, y + 1, 6, 8, PAPER if i == 2 else PAPER_SHADE)
    c.polygon([(9, 8), (15.5, 11.5), (9, 15)], hex_color("1f7a2e"))
    c.polygon([(10, 9.7), (13.6, 11.5), (10, 13.3)], hex_color("4cc25e"))


def image8_open_site(c):
    c.ellipse(8, 8, 7.2, 7.2, hex_color("1b5e8a"))
    c.ellipse(8, 8, 6.2, 6.2, hex_color("5fb0e8"))
    c.ellipse(8, 8, 2.6, 6.2, hex_color("1b5e8a"))
    c.ellipse(8, 8, 1.6, 5.4, hex_color("5fb0e8"))
    c.rect(1.8, 7.5, 12.4, 1, hex_color("1b5e8a"))
    c.rect(2.8, 4.5, 10.4, 0.8, hex_color("1b5e8a"))
    c.rect(2.8, 10.7, 10.4, 0.8, hex_color("1b5e8a"))


def phone(c, x, y, w=6, h=10, body="1f2a36", screen="7fc8f0"):
    c.rounded(x, y, w, h, 1.2, hex_color(body))
    c.rect(x + 1, y + 1.5, w - 2, h - 3.2, hex_color(screen))
    for i in range(3):
        c.rect(x + 1.6, y + 2.4 + i * 1.8, w - 3.2 - (1 if i == 2 else 0), 0.9, hex_color("ffffff"))


def image9_new_modern(c):
    sheet(c, x=1, w=10)
    text_lines(c, 3, 5, 6, 5)
    phone(c, 9.5, 5.5)


# --- Menu pictures ------------------------------------------------------------

def menu_new(c):
    sheet(c, x=2, w=10)
    text_lines(c, 4, 5, 6, 5)
    c.rect(10, 11.2, 6, 2.6, hex_color("1f7a2e"))
    c.rect(11.7, 9.5, 2.6, 6, hex_color("1f7a2e"))
    c.rect(10.6, 11.8, 4.8, 1.4, hex_color("4cc25e"))
    c.rect(12.3, 10.1, 1.4, 4.8, hex_color("4cc25e"))


def menu_new_modern(c):
    sheet(c, x=1, w=10)
    text_lines(c, 3, 5, 6, 5)
    phone(c, 9.5, 5.5, body="1f7a2e", screen="c8f0cf")


def menu_open(c):
    folder(c, open_=True, body="d9a22c", front="f0c54a")
    c.polygon([(9, 0.5), (14.5, 0.5), (14.5, 6), (12.7, 4.2), (10, 6.9), (8.1, 5), (10.8, 2.3)],
              hex_color("1f7a2e"))


def menu_save(c):
    floppy(c, body="44546a", shutter="d0d6dc")


def menu_save_as(c):
    floppy(c, body="44546a", shutter="d0d6dc")
    for i in range(3):
        c.rect(5 + i * 2.2, 11, 1.4, 1.4, hex_color("2a2a2a"))


def menu_close(c):
    c.rounded(1.5, 1.5, 13, 13, 2.5, hex_color("8c1010"))
    c.rounded(2.5, 2.5, 11, 11, 2, hex_color("d83a3a"))
    c.line(5, 5, 11, 11, PAPER, 2.0)
    c.line(11, 5, 5, 11, PAPER, 2.0)


# --- Application icon ---------------------------------------------------------

def app_icon(c):
    s = c.size / 48.0

    def S(v):
        return v * s

    c.rounded(S(2), S(2), S(44), S(44), S(9), hex_color("1d4e89"))
    c.rounded(S(3.5), S(3.5), S(41), S(41), S(8), hex_color("2f74c0"))
    # three pages fanned out of one long text
    for dx, dy, shade in ((S(17), S(6), "c9d9ee"), (S(12), S(10), "e4ecf7"), (S(7), S(14), "ffffff")):
        c.rect(dx - S(1), dy - S(1), S(24), S(30), hex_color("163d6b"))
        c.rect(dx, dy, S(22), S(28), hex_color(shade))
    for i in range(6):
        w = 16 if i % 3 != 2 else 10
        c.rect(S(10), S(19 + i * 3.4), S(w), max(1.0, S(1.4)), hex_color("7d91aa"))
    c.rect(S(10), S(36), S(7), max(1.0, S(1.6)), hex_color("e8812a"))


def main():
    draw("image0.png", image0_open)
    draw("image1.png", image1_close)
    draw("image2.png", image2_save)
    draw("image3.png", image3_save_as)
    draw("image4.png", image4_about)
    draw("image5.png", image5_new)
    draw("image6.png", image6_duplicate)
    draw("image7.png", image7_generate_all)
    draw("image8.png", image8_open_site)
    draw("image9.png", image9_new_modern)
    draw("menu-new.png", menu_new)
    draw("menu-new-modern.png", menu_new_modern)
    draw("menu-open.png", menu_open)
    draw("menu-save.png", menu_save)
    draw("menu-saveas.png", menu_save_as)
    draw("menu-close.png", menu_close)
    draw("orvana.png", app_icon, 48)
    for size in (16, 32, 48, 128, 256):
        draw("orvana-%d.png" % size, app_icon, size)


if __name__ == "__main__":
    main()
