#!/usr/bin/env python3
"""Draws the installer's icons and writes them as .ico files.

qvxsetup.ico (resource 128): a box with a green arrow going into it, 32x32
and 16x16. folder_closed.ico (178) and folder_open.ico (179): 16x16 yellow
folders. Every image is 16-colour (4 bits per pixel, the standard VGA
palette) with a 1-bit AND mask, the form every Windows version reads.

Run from anywhere: python3 resources/make-icons.py
"""

import os
import struct

# The standard 16-colour palette, as RGB.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Pixel letters: '.' is transparent, the rest name palette entries.
COLOURS = {"k": 0, "g": 2, "o": 3, "s": 7, "d": 8, "l": 10, "y": 11, "w": 15}

FOLDER_CLOSED = [
    "................",
    "................",
    "..kkkkk.........",
    ".kwyyyyk........",
    "kwyyyyyykkkkkkk.",
    "kwwwwwwwwwwwwyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kyoooooooooooook",
    ".kkkkkkkkkkkkkkk",
    "................",
    "................",
]

FOLDER_OPEN = [
    "................",
    "................",
    "..kkkkk.........",
    ".kwyyyyk........",
    "kwyyyyyykkkkkk..",
    "kwyyyyyyyyyyyok.",
    "kwyyykkkkkkkkkkk",
    "kwyykwwwwwwwwwwk",
    "kwyykwyyyyyyyyk.",
    "kwykwyyyyyyyyyk.",
    "kwykwyyyyyyyyk..",
    "kykwyyyyyyyyyk..",
    "kykwyyyyyyyyk...",
    "kkoooooooooook..",
    ".kkkkkkkkkkkk...",
    "................",
]


def setup_icon(size):
    """A box, open at the top, with a green arrow pointing down into it."""
    s = size / 32.0
    grid = [["." for _ in range(size)] for _ in range(size)]

    def fill(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                grid[y][x] = c

    fill(3, 15, 29, 31, "o")     # the box's front
    fill(3, 15, 29, 17, "y")     # its rim, lit from above
    fill(5, 19, 27, 29, "y")     # the label area
    fill(7, 21, 25, 23, "d")     # two lines of print on the label
    fill(7, 25, 19, 27, "d")
    fill(13, 1, 19, 11, "l")     # the arrow's shaft
    for row in range(8):          # the arrow's head, narrowing downwards
        fill(7 + row, 9 + row, 25 - row, 10 + row, "l")
    fill(14, 2, 15, 10, "w")     # a highlight on the shaft
    outline = [row[:] for row in grid]
    for y in range(size):
        for x in range(size):
            if grid[y][x] != ".":
                continue
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = x + dx, y + dy
                if 0 <= nx < size and 0 <= ny < size and grid[ny][nx] != ".":
                    outline[y][x] = "k"
    return ["".join(row) for row in outline]


def dib(rows):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit XOR bitmap, AND mask."""
    size = len(rows)
    assert all(len(r) == size for r in rows), "image rows must be square"
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for x in range(0, size, 2):
            hi = COLOURS.get(row[x], 0)
            lo = COLOURS.get(row[x + 1], 0)
            line.append(hi << 4 | lo)
        while len(line) % 4:
            line.append(0)
        xor += line
        bits = bytearray((size + 7) // 8)
        for x, ch in enumerate(row):
            if ch == ".":
                bits[x // 8] |= 0x80 >> (x % 8)
        while len(bits) % 4:
            bits.append(0)
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def ico(images):
    """An .ico file: ICONDIR, one ICONDIRENTRY per image, then the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for rows in images:
        data = dib(rows)
        size = len(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
        blobs.append(data)
    return out + b"".join(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    files = {
        "qvxsetup.ico": [setup_icon(32), setup_icon(16)],
        "folder_closed.ico": [FOLDER_CLOSED],
        "folder_open.ico": [FOLDER_OPEN],
    }
    for name, images in files.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(ico(images))


if __name__ == "__main__":
    main()
