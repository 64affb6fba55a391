#!/usr/bin/env python3
"""Draws the About window's pictures as PNG files with transparent backgrounds:

  about_maker_name.png  280 x 19  the maker's name, QUARVEL, after a small mark of
                                  two linked endpoints (the window shows its left
                                  154 pixels)
  about_like.png         32 x 32  a heart on a rounded teal tile
  about_tweet.png        32 x 32  a speech bubble with three dots on a rounded amber tile

Run it again to regenerate them: python3 make_about_pictures.py [folder]
(the folder defaults to package/, the parent of this script's folder)."""
import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4
NAVY = (0, 0, 128)


def png(width, height, pixel):
    """Encodes an RGBA picture; pixel(x, y) answers straight (r, g, b, a)."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter type None
        for x in range(width):
            raw.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def coverage(x, y, inside):
    """The share of the pixel at (x, y) for which inside(px, py) holds."""
    hits = 0
    for sy in range(SUPERSAMPLE):
        for sx in range(SUPERSAMPLE):
            if inside(x + (sx + 0.5) / SUPERSAMPLE, y + (sy + 0.5) / SUPERSAMPLE):
                hits += 1
    return hits / (SUPERSAMPLE * SUPERSAMPLE)


def segment_distance(px, py, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((px - x1) * dx + (py - y1) * dy) / length))
    return math.hypot(px - (x1 + t * dx), py - (y1 + t * dy))


def arc(cx, cy, rx, ry, start, end, steps=16):
    """Points along an ellipse from angle start to end (degrees, y downwards)."""
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / steps)),
             cy + ry * math.sin(math.radians(start + (end - start) * i / steps))) for i in range(steps + 1)]


# Capital letters as polylines in a box 9 wide and 13 high.
GLYPHS = {
    "Q": [arc(4.5, 6.5, 4.5, 6.5, 0, 360, 32), [(5.6, 9.4), (9.2, 13.0)]],
    "U": [[(0, 0)] + arc(4.5, 8.5, 4.5, 4.5, 180, 0, 16) + [(9, 0)]],
    "A": [[(0, 13), (4.5, 0), (9, 13)], [(1.7, 8.2), (7.3, 8.2)]],
    "R": [[(0, 13), (0, 0), (5, 0)] + arc(5, 3.6, 3.8, 3.6, -90, 90, 12) + [(0, 7.2)], [(4.4, 7.2), (9, 13)]],
    "V": [[(0, 0), (4.5, 13), (9, 0)]],
    "E": [[(8.5, 0), (0, 0), (0, 13), (8.5, 13)], [(0, 6.5), (6.5, 6.5)]],
    "L": [[(0, 0), (0, 13), (8.5, 13)]],
}


def polyline_segments(lines, ox, oy, scale=1.0):
    segments = []
    for line in lines:
        for (x1, y1), (x2, y2) in zip(line, line[1:]):
            segments.append((ox + x1 * scale, oy + y1 * scale, ox + x2 * scale, oy + y2 * scale))
    return segments


def maker_name():
    width, height = 280, 19
    stroke = 1.1  # half the stroke width
    top = 3
    segments = []
    x = 26
    for letter in "QUARVEL":
        segments += polyline_segments(GLYPHS[letter], x, top)
        x += 14
    # The mark: two endpoints and their link, in the colours of the program's icon.
    nodes = [(5.5, 13.5, 3.4), (15.5, 5.5, 3.4)]

    def pixel(px, py):
        def in_text(sx, sy):
            return any(segment_distance(sx, sy, *s) <= stroke for s in segments
                       if min(s[0], s[2]) - 2 <= sx <= max(s[0], s[2]) + 2)

        def in_link(sx, sy):
            return segment_distance(sx, sy, nodes[0][0], nodes[0][1], nodes[1][0], nodes[1][1]) <= 1.0

        def in_node(index):
            cx, cy, r = nodes[index]
            return lambda sx, sy: math.hypot(sx - cx, sy - cy) <= r

        if px < 22:
            layers = [((40, 70, 140), in_link), ((40, 70, 140), in_node(0)), ((60, 150, 110), in_node(1))]
        else:
            layers = [(NAVY, in_text)]
        color, alpha = (0, 0, 0), 0.0
        for rgb, inside in layers:
            c = coverage(px, py, inside)
            if c > 0:
                # Straight alpha "over" composition of one layer.
                new_alpha = c + alpha * (1 - c)
                color = tuple((rgb[i] * c + color[i] * alpha * (1 - c)) / new_alpha for i in range(3))
                alpha = new_alpha
        return (*(int(round(v)) for v in color), int(round(alpha * 255)))

    return png(width, height, pixel)


def tile(size, top_rgb, bottom_rgb, symbol):
    """A rounded tile with a soft vertical shade and a white symbol on it."""
    radius = 6.0

    def in_tile(sx, sy):
        dx = max(radius - sx, 0, sx - (size - radius))
        dy = max(radius - sy, 0, sy - (size - radius))
        return math.hypot(dx, dy) <= radius

    def pixel(px, py):
        tile_cover = coverage(px, py, in_tile)
        if tile_cover == 0:
            return (0, 0, 0, 0)
        t = (py + 0.5) / size
        base = tuple(top_rgb[i] + (bottom_rgb[i] - top_rgb[i]) * t for i in range(3))
        symbol_cover = coverage(px, py, symbol)
        rgb = tuple(base[i] * (1 - symbol_cover) + 255 * symbol_cover for i in range(3))
        return (*(int(round(v)) for v in rgb), int(round(tile_cover * 255)))

    return png(size, size, pixel)


def heart(sx, sy):
    # The classic implicit heart curve, scaled into the tile's middle.
    x = (sx - 16) / 8.5
    y = -(sy - 15.5) / 8.5
    return (x * x + y * y - 1) ** 3 - x * x * y ** 3 <= 0


def bubble(sx, sy):
    # A rounded speech bubble with a tail at its lower left and three dots cut out.
    left, top, right, bottom, r = 6, 8, 26, 21, 4.5
    dx = max(left + r - sx, 0, sx - (right - r))
    dy = max(top + r - sy, 0, sy - (bottom - r))
    in_body = math.hypot(dx, dy) <= r
    # The tail: a triangle below the body.
    in_tail = bottom - 0.5 <= sy <= 26 and sx >= 9 and sx <= 9 + (26 - sy) * 0.9 + 1
    dots = any(math.hypot(sx - cx, sy - 14.5) <= 1.7 for cx in (11, 16, 21))
    return (in_body or in_tail) and not dots


def main(folder):
    os.makedirs(folder, exist_ok=True)
    pictures = {
        "about_maker_name.png": maker_name(),
        "about_like.png": tile(32, (40, 170, 160), (20, 120, 120), heart),
        "about_tweet.png": tile(32, (240, 170, 50), (215, 120, 30), bubble),
    }
    for name, data in pictures.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    default = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    main(sys.argv[1] if len(sys.argv) > 1 else default)
