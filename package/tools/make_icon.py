#!/usr/bin/env python3
"""Draws the application icon (velquist.ico): two linked endpoints on a
navy tile, at 16, 32 and 48 pixels. Run it again to regenerate the file."""
import math
import struct
import sys


def pixel(size, x, y):
    s = size / 32.0
    cx, cy = x + 0.5, y + 0.5
    # Rounded navy tile with a soft top-to-bottom shade.
    r = 6 * s
    dx = max(r - cx, 0, cx - (size - r))
    dy = max(r - cy, 0, cy - (size - r))
    if math.hypot(dx, dy) > r:
        return (0, 0, 0, 0)
    shade = 1.0 - 0.35 * (cy / size)
    color = (int(40 * shade), int(70 * shade), int(140 * shade), 255)
    nodes = [(9 * s, 22 * s, 4.2 * s, (255, 255, 255)), (23 * s, 10 * s, 4.2 * s, (148, 233, 184))]
    # The link between the two endpoints.
    (x1, y1, _, _), (x2, y2, _, _) = nodes
    t = max(0.0, min(1.0, ((cx - x1) * (x2 - x1) + (cy - y1) * (y2 - y1)) / ((x2 - x1) ** 2 + (y2 - y1) ** 2)))
    if math.hypot(cx - (x1 + t * (x2 - x1)), cy - (y1 + t * (y2 - y1))) <= 1.4 * s:
        color = (230, 230, 230, 255)
    for nx, ny, nr, rgb in nodes:
        d = math.hypot(cx - nx, cy - ny)
        if d <= nr:
            color = rgb + (255,)
        elif d <= nr + 1.2 * s:
            color = (20, 30, 60, 255)
    return color


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up DIB
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in (pixel(size, x, y) for x in range(size))))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "velquist.ico")
