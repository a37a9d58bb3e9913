#!/usr/bin/env python3
"""Draws the launcher's artwork: the window picture at start and once a deep resolution server
has answered (371 x 152, 24 bits), and the program icon (48, 32, 24 and 16 pixels at 4, 8, 24
and 32 bits). Pure Python, deterministic: run it again and the files come out the same.

Usage: make_artwork.py [output folder]   (default: the folder of this script)
"""
import math
import os
import struct
import sys

WIDTH, HEIGHT = 371, 152

# 5 x 7 letters, enough for the picture's words.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    " ": ["00000"] * 7,
}


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Canvas:
    """RGB floats, top row first; `blend` lays a colour over a pixel with some coverage."""

    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width, self.height = width, height
        self.rgb = [[colour] * width for _ in range(height)]
        self.alpha = [[1.0] * width for _ in range(height)]

    def blend(self, x, y, colour, coverage):
        if 0 <= x < self.width and 0 <= y < self.height and coverage > 0:
            self.rgb[y][x] = mix(self.rgb[y][x], colour, coverage)

    def shape(self, inside, colour_at, box=None):
        """Fills the pixels where inside(px, py) holds, 4 x 4 samples per pixel for smooth edges."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                hits = sum(inside(x + (i + 0.5) / 4, y + (j + 0.5) / 4)
                           for i in range(4) for j in range(4))
                if hits:
                    self.blend(x, y, colour_at(x + 0.5, y + 0.5), hits / 16)

    def text(self, x, y, words, scale, colour):
        for letter in words:
            rows = FONT[letter]
            for r, row in enumerate(rows):
                for c, bit in enumerate(row):
                    if bit == "1":
                        for dy in range(scale):
                            for dx in range(scale):
                                self.blend(x + c * scale + dx, y + r * scale + dy, colour, 1.0)
            x += 6 * scale


def ring(cx, cy, a, b, width):
    """Inside test for an ellipse outline of the given line width."""
    def inside(px, py):
        d = math.hypot((px - cx) / a, (py - cy) / b)
        return abs(d - 1.0) * min(a, b) < width / 2
    return inside


def disc(cx, cy, r):
    return lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def picture(found):
    c = Canvas(WIDTH, HEIGHT)
    top, bottom = (8, 16, 40), (22, 52, 96)
    for y in range(HEIGHT):
        row = mix(top, bottom, y / (HEIGHT - 1))
        c.rgb[y] = [row] * WIDTH
    seed = 12345
    for _ in range(90):  # stars from a fixed sequence
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        x, y = seed % WIDTH, (seed >> 9) % HEIGHT
        c.blend(x, y, (230, 236, 255), 0.35 + (seed >> 20) % 60 / 100)

    pcx, pcy, pr = 292, 128, 64
    light, dark = (84, 190, 200), (12, 54, 88)
    if found:
        light, dark = (120, 214, 120), (18, 70, 48)

    def planet_colour(px, py):
        t = math.hypot(px - (pcx - 26), py - (pcy - 30)) / (pr * 1.6)
        return mix(light, dark, t)

    back = ring(pcx, pcy - 4, 118, 24, 2.2)
    c.shape(lambda px, py: back(px, py) and py < pcy - 4, lambda px, py: (96, 130, 170))
    c.shape(disc(pcx, pcy, pr), planet_colour, (pcx - pr - 1, pcy - pr - 1, pcx + pr + 2, HEIGHT))
    orbit = (255, 196, 64) if found else (170, 205, 240)
    c.shape(lambda px, py: back(px, py) and py >= pcy - 4 or
            (back(px, py) and not disc(pcx, pcy, pr)(px, py)), lambda px, py: orbit)

    sx, sy = pcx - 118 * math.cos(0.45), pcy - 4 - 24 * math.sin(0.45)
    if found:
        for radius, strength in ((20, 0.25), (14, 0.4), (9, 0.6)):
            c.shape(ring(sx, sy, radius, radius, 1.6), lambda px, py: (255, 214, 96),
                    (int(sx) - 24, int(sy) - 24, int(sx) + 25, int(sy) + 25))
        c.shape(disc(sx, sy, 5), lambda px, py: (255, 240, 190))
    else:
        c.shape(disc(sx, sy, 3.5), lambda px, py: (220, 232, 250))

    c.text(22, 26, "ZYN", 7, (240, 244, 255))
    c.text(24, 86, "VANTOR VII", 2, (150, 190, 235))
    if found:
        c.text(24, 112, "DEEP LINK", 2, (255, 204, 80))
    return c


def bmp24(canvas):
    stride = (canvas.width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(canvas.height)):
        row = bytearray()
        for r, g, b in canvas.rgb[y]:
            row += bytes((round(b), round(g), round(r)))
        rows.append(bytes(row) + b"\0" * (stride - len(row)))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def icon_canvas(size):
    """The planet with its ring; transparent around it."""
    c = Canvas(size, size)
    s = size / 48.0
    cx, cy, r = 24 * s, 24 * s, 15 * s
    cover = [[0.0] * size for _ in range(size)]
    colour = [[(0, 0, 0)] * size for _ in range(size)]
    orbit = ring(cx, cy, 22 * s, 7 * s, max(1.6, 3 * s))
    body = disc(cx, cy, r)
    for y in range(size):
        for x in range(size):
            acc, rgb = 0, [0.0, 0.0, 0.0]
            for i in range(4):
                for j in range(4):
                    px, py = x + (i + 0.5) / 4, y + (j + 0.5) / 4
                    in_front = orbit(px, py) and (py > cy or not body(px, py))
                    if in_front:
                        col = (255, 196, 64)
                    elif body(px, py):
                        col = mix((110, 210, 220), (14, 60, 100),
                                  math.hypot(px - cx + 5 * s, py - cy + 5 * s) / (r * 1.7))
                    else:
                        continue
                    acc += 1
                    rgb = [rgb[k] + col[k] for k in range(3)]
            if acc:
                colour[y][x] = tuple(v / acc for v in rgb)
                cover[y][x] = acc / 16
    c.rgb, c.alpha = colour, cover
    return c


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE256 = CUBE + [(v * 8 + 4,) * 3 for v in range(32)] + [(0, 0, 0)] * 8


def nearest(palette, rgb):
    # The 16-colour greys would turn the lit side of the planet grey: keep them out.
    candidates = [i for i in range(len(palette)) if len(palette) > 16 or i not in (7, 8)]
    return min(candidates,
               key=lambda i: sum((palette[i][k] - rgb[k]) ** 2 for k in range(3)))


def icon_image(size, bits):
    c = icon_canvas(size)
    xor_stride = ((size * bits + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    palette = {4: VGA16, 8: PALETTE256}.get(bits, [])
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):
        row, mask = bytearray(), bytearray(and_stride)
        indices = []
        for x in range(size):
            a = c.alpha[y][x]
            rgb = c.rgb[y][x]
            opaque = a >= 0.5
            if not opaque and bits != 32:
                mask[x // 8] |= 0x80 >> (x % 8)
            if bits == 32:
                row += bytes((round(rgb[2]), round(rgb[1]), round(rgb[0]), round(a * 255)))
            elif bits == 24:
                row += bytes((round(rgb[2]), round(rgb[1]), round(rgb[0])) if opaque else (0, 0, 0))
            else:
                indices.append(nearest(palette, rgb) if opaque else 0)
        if bits == 8:
            row = bytearray(indices)
        elif bits == 4:
            row = bytearray((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        xor_rows.append(bytes(row) + b"\0" * (xor_stride - len(row)))
        and_rows.append(bytes(mask))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                       (xor_stride + and_stride) * size, 0, 0, len(palette), 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return info + pal + b"".join(xor_rows) + b"".join(and_rows)


def ico():
    images = [(size, bits) for size in (48, 32, 24, 16) for bits in (4, 8, 24, 32)]
    blobs = [icon_image(size, bits) for size, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), blob in zip(images, blobs):
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    outputs = {
        "picture_start.bmp": bmp24(picture(found=False)),
        "picture_found.bmp": bmp24(picture(found=True)),
        "zynLaunch.ico": ico(),
    }
    for name, data in outputs.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
