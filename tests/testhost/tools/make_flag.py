#!/usr/bin/env python3
"""Draws examples/pictures/flag.bmp: the 20x12 pennant the sample grid shows in a cell.

Top half navy, bottom half gold, a white upright bar at columns 4-6, so a picture drawn
upside down or mirrored is easy to spot. Writes a 24-bit bottom-up BMP.
"""
import pathlib
import struct
import sys

WIDTH, HEIGHT = 20, 12
NAVY, GOLD, WHITE = (31, 58, 147), (242, 193, 78), (255, 255, 255)


def pixel(x, y):  # y = 0 is the top row
    if 4 <= x <= 6:
        return WHITE
    return NAVY if y < HEIGHT // 2 else GOLD


def bmp():
    stride = (WIDTH * 3 + 3) & ~3
    rows = bytearray()
    for y in reversed(range(HEIGHT)):  # bottom-up
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + b"\0" * (stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(rows), 3780, 3780, 0, 0)
    offset = 14 + len(header)
    return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + header + rows


if __name__ == "__main__":
    root = pathlib.Path(__file__).resolve().parents[3]
    target = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "examples" / "pictures" / "flag.bmp"
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(bmp())
    print(f"wrote {target}")
