#!/usr/bin/env python3
"""Draws the plug-in's bitmaps and writes them as 24-bit uncompressed bottom-up BMP files.

    python3 resources/make_bitmaps.py [output folder, default: the folder of this script]

103  64 x 64  alert sign of the three explanatory alerts
109  64 x 64  camera of the reference-camera picker
117 300 x 80  banner at the top of the effect panel and of the options dialog
119  48 x 24  link button, up
121  48 x 24  link button, pressed

Only the standard library is used, and the output is the same on every run, so the committed
files can be checked against a fresh run.
"""

import math
import os
import struct
import sys

# 5 x 7 glyphs, '#' for ink.
GLYPHS = {
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "t": [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "f": ["..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "d": ["....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    " ": ["....."] * 7,
}


class Image:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]  # rows top to bottom, (r, g, b)

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def get(self, x, y):
        return self.pixels[y][x]

    def blend(self, x, y, colour, amount):
        if 0 <= x < self.width and 0 <= y < self.height and amount > 0:
            amount = min(amount, 1.0)
            old = self.pixels[y][x]
            self.pixels[y][x] = tuple(round(o + (c - o) * amount) for o, c in zip(old, colour))

    def rect(self, left, top, right, bottom, colour):
        for y in range(top, bottom):
            for x in range(left, right):
                self.set(x, y, colour)

    def text(self, left, top, string, scale, colour, spacing=1):
        x = left
        for ch in string:
            glyph = GLYPHS[ch]
            for gy, row in enumerate(glyph):
                for gx, cell in enumerate(row):
                    if cell == "#":
                        self.rect(x + gx * scale, top + gy * scale, x + (gx + 1) * scale,
                                  top + (gy + 1) * scale, colour)
            x += (5 + spacing) * scale
        return x

    def write_bmp(self, path):
        row_bytes = (self.width * 3 + 3) // 4 * 4
        image_size = row_bytes * self.height
        with open(path, "wb") as f:
            f.write(b"BM" + struct.pack("<IHHI", 14 + 40 + image_size, 0, 0, 14 + 40))
            f.write(struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, image_size,
                                2835, 2835, 0, 0))
            for y in reversed(range(self.height)):  # bottom-up
                row = bytearray()
                for r, g, b in self.pixels[y]:
                    row += bytes((b, g, r))
                row += bytes(row_bytes - len(row))
                f.write(row)


def text_width(string, scale, spacing=1):
    return len(string) * (5 + spacing) * scale - spacing * scale


class Lcg:
    """Small deterministic generator, so that every run draws the same motes."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF


DIALOG_FACE = (240, 240, 240)


def alert_sign():
    img = Image(64, 64, DIALOG_FACE)
    apex, base_y, half = (32, 6), 56, 28
    for y in range(64):
        for x in range(64):
            # Distance inside the triangle, for a dark rim and a yellow face.
            t = (y - apex[1]) / (base_y - apex[1])
            if t < 0 or t > 1:
                continue
            reach = half * t
            inside = min(reach - abs(x + 0.5 - apex[0]), (base_y - y) * 1.0, 99)
            if inside >= 0:
                img.set(x, y, (40, 30, 0) if inside < 2.5 else (255, 200, 20))
    img.rect(30, 22, 34, 43, (20, 20, 20))  # the mark
    img.rect(30, 46, 34, 50, (20, 20, 20))
    return img


def camera():
    img = Image(64, 64, DIALOG_FACE)
    body, dark = (60, 64, 72), (25, 27, 30)
    img.rect(8, 22, 44, 48, body)
    img.rect(8, 22, 44, 23, dark)
    img.rect(8, 47, 44, 48, dark)
    img.rect(12, 16, 22, 22, body)  # viewfinder hump
    for x in range(44, 58):  # lens hood, widening to the right
        open_half = 6 + (x - 44) * 0.6
        for y in range(64):
            if abs(y + 0.5 - 35) <= open_half:
                img.set(x, y, dark if abs(abs(y + 0.5 - 35) - open_half) < 1.2 else body)
    for y in range(64):
        for x in range(64):
            d = math.hypot(x + 0.5 - 26, y + 0.5 - 35)
            if d < 8:
                img.set(x, y, (30, 90, 160) if d > 4 else (150, 200, 240))
            elif d < 9:
                img.set(x, y, dark)
    img.rect(36, 25, 41, 28, (220, 60, 40))  # recording light
    return img


def banner():
    width, height = 300, 80
    img = Image(width, height, (0, 0, 0))
    for y in range(height):
        for x in range(width):
            u, v = x / (width - 1), y / (height - 1)
            img.set(x, y, (round(12 + 18 * u), round(20 + 30 * u * (1 - v)), round(38 + 40 * (1 - v))))
    # A cloud of motes seen in depth: far ones small and dim, near ones larger and brighter.
    rng = Lcg(20240517)
    for _ in range(420):
        x, y, depth = rng.next() * width, rng.next() * height, rng.next()
        hue = rng.next()
        colour = (round(120 + 135 * hue), round(170 + 60 * (1 - hue)), 255)
        radius = 0.6 + 1.8 * (1 - depth) ** 2
        strength = 0.25 + 0.65 * (1 - depth)
        for py in range(int(y - radius) - 1, int(y + radius) + 2):
            for px in range(int(x - radius) - 1, int(x + radius) + 2):
                d = math.hypot(px + 0.5 - x, py + 0.5 - y)
                img.blend(px, py, colour, strength * max(0.0, min(1.0, radius + 0.5 - d)))
    title, scale = "Motefield", 4
    left = (width - text_width(title, scale)) // 2
    top = 14
    img.text(left + 2, top + 2, title, scale, (5, 8, 16))  # shadow
    img.text(left, top, title, scale, (250, 244, 228))
    tagline = "WORLD POSITION POINTS"
    img.text((width - text_width(tagline, 1)) // 2, 58, tagline, 1, (150, 200, 230))
    img.rect(left, 50, left + text_width(title, scale), 51, (90, 160, 210))
    return img


def link_button(pressed):
    img = Image(48, 24, (200, 202, 206) if pressed else (225, 225, 225))
    light, shade, black = (255, 255, 255), (120, 120, 120), (30, 30, 30)
    top_left, bottom_right = (black, light) if pressed else (light, black)
    inner_tl, inner_br = (shade, (225, 225, 225)) if pressed else ((245, 245, 245), shade)
    img.rect(0, 0, 48, 1, top_left)
    img.rect(0, 0, 1, 24, top_left)
    img.rect(0, 23, 48, 24, bottom_right)
    img.rect(47, 0, 48, 24, bottom_right)
    img.rect(1, 1, 47, 2, inner_tl)
    img.rect(1, 1, 2, 23, inner_tl)
    img.rect(1, 22, 47, 23, inner_br)
    img.rect(46, 1, 47, 23, inner_br)
    label = "LINK"
    shift = 1 if pressed else 0
    left = (48 - text_width(label, 1)) // 2 + shift
    img.text(left, 9 + shift, label, 1, (20, 60, 140) if pressed else black)
    return img


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    bitmaps = {
        "alert.bmp": alert_sign(),
        "camera.bmp": camera(),
        "banner.bmp": banner(),
        "link_up.bmp": link_button(False),
        "link_down.bmp": link_button(True),
    }
    for name, img in bitmaps.items():
        img.write_bmp(os.path.join(out, name))


if __name__ == "__main__":
    main()
