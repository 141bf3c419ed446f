#!/usr/bin/env python3
"""Writes the example's texture images: stool_seat.bmp, a checker in two
wood tones for the seat, and stool_leg.bmp, light and dark grain stripes for
the legs. Both are 64 x 64 pixel, 24-bit uncompressed BMP files, which every
viewer reads. Run it in this folder: python3 make_textures.py"""

import os
import struct

SIZE = 64


def write_bmp(path, pixel):
    """pixel(x, y) -> (r, g, b) with y counted from the top."""
    row_bytes = SIZE * 3  # 192, already a multiple of 4: no row padding
    data = bytearray()
    for y in range(SIZE - 1, -1, -1):  # BMP rows run bottom to top
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            data += bytes((b, g, r))
    header_size = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(data), 0, 0, header_size)
    info_header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, row_bytes * SIZE, 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(file_header + info_header + data)


def seat(x, y):
    light = ((x // 8) + (y // 8)) % 2 == 0
    # a faint ring pattern inside each square so it reads as wood
    ring = ((x % 8) * (x % 8) + (y % 8) * (y % 8)) % 5 == 0
    base = (196, 150, 98) if light else (140, 94, 52)
    return tuple(max(0, c - 18) for c in base) if ring else base


def leg(x, y):
    stripe = (x + (y // 16)) % 6
    return (120, 78, 40) if stripe in (0, 1) else (164, 112, 64)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_bmp(os.path.join(here, "stool_seat.bmp"), seat)
    write_bmp(os.path.join(here, "stool_leg.bmp"), leg)


if __name__ == "__main__":
    main()
