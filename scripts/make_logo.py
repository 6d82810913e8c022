#!/usr/bin/env python3
"""make_logo.py: draws gui/logo.png, the 40x40 header logo: a white lens ring on the header
blue, its left half filled white up to a slanted edge. Standard library only.
Run from the top of the checkout: python3 scripts/make_logo.py"""
import struct
import zlib

SIZE = 40
SUB = 4  # samples per pixel and axis, for smooth edges
BLUE = (0x00, 0x80, 0xFF)
WHITE = (0xFF, 0xFF, 0xFF)
CX = CY = SIZE / 2
R_OUT, R_IN = 17.0, 13.5  # lens ring
R_FILL = 11.5  # filled half inside the ring


def white_at(x, y):
    """True where the glyph is white at the sample point (x, y)."""
    d2 = (x - CX) ** 2 + (y - CY) ** 2
    if R_IN ** 2 <= d2 <= R_OUT ** 2:
        return True
    # the edge: a line leaning right by a quarter pixel per pixel downwards
    edge = CX + 0.25 * (y - CY)
    return d2 <= R_FILL ** 2 and x < edge


def pixel(px, py):
    hits = sum(white_at(px + (i + 0.5) / SUB, py + (j + 0.5) / SUB)
               for i in range(SUB) for j in range(SUB))
    a = hits / (SUB * SUB)
    return bytes(round(b + (w - b) * a) for b, w in zip(BLUE, WHITE))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    rows = b"".join(b"\x00" + b"".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(rows, 9))
           + chunk(b"IEND", b""))
    with open("gui/logo.png", "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
