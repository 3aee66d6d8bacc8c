#!/usr/bin/env python3
"""Draws the program icon (a map pin over radio waves) and writes resources/tavrin.ico
with 16, 32 and 48 pixel 32-bit images. Run again after changing the drawing."""
import math
import os
import struct
import sys


def pixel(x, y, size):
    # Coordinates in a unit square, y down.
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    cx, cy, r = 0.5, 0.38, 0.28
    d = math.hypot(u - cx, v - cy)
    # Pin: a circle and a triangle pointing down to (0.5, 0.92).
    in_circle = d <= r
    in_tip = cy <= v <= 0.92 and abs(u - cx) <= r * (0.92 - v) / (0.92 - cy)
    if in_circle or in_tip:
        if d <= r * 0.38:
            return (255, 255, 255, 255)  # white hole
        return (40, 90, 200, 255)  # blue pin (RGBA)
    # Two orange arcs to the upper right: the radio.
    for rr in (0.36, 0.46):
        dd = math.hypot(u - cx, v - cy)
        ang = math.atan2(cy - v, u - cx)
        if abs(dd - rr) < 0.035 and 0.2 < ang < 1.2:
            return (240, 140, 20, 255)
    return (0, 0, 0, 0)


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            row += bytes((b, g, r, a))
        rows.append(row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for y in reversed(range(size)):
        out = bytearray(mask_stride)
        for x in range(size):
            if pixel(x, y, size)[3] == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    return header + b"".join(rows) + mask


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "tavrin.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
