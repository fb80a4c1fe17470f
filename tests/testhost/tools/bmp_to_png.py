#!/usr/bin/env python3
"""Converts 24- and 32-bit uncompressed BMP files to PNG with the standard library only.

    bmp_to_png.py input.bmp output.png [--scale N]

Used for the screenshots in docs/screenshots (the test host's pictures are BMP files).
"""
import argparse
import struct
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise SystemExit(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    _, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if bits not in (24, 32) or compression not in (0, 3):
        raise SystemExit(f"{path}: only uncompressed 24/32-bit BMP files are read")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * bits + 31) // 32 * 4
    step = bits // 8
    rows = []
    for y in range(height):
        start = offset + stride * ((height - 1 - y) if bottom_up else y)
        row = bytearray()
        for x in range(width):
            b, g, r = data[start + x * step:start + x * step + 3]
            row += bytes((r, g, b))
        rows.append(bytes(row))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    open(path, "wb").write(png)


def enlarge(width, height, rows, n):
    """The picture n times larger each way (whole pixels repeated)."""
    if n <= 1:
        return width, height, rows
    rows = [b"".join(row[i:i + 3] * n for i in range(0, len(row), 3)) for row in rows for _ in range(n)]
    return width * n, height * n, rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--scale", type=int, default=1, help="enlarge by this whole factor")
    args = parser.parse_args()
    width, height, rows = enlarge(*read_bmp(args.input), args.scale)
    write_png(args.output, width, height, rows)


if __name__ == "__main__":
    main()
