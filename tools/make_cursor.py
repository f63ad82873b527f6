#!/usr/bin/env python3
"""Draws Savanto's splitter cursor and writes it as splitter.cur.

Usage: tools/make_cursor.py [OUTPUT_DIR]   (default: res/ beside this script)

The cursor is 32x32 monochrome, drawn here as a character map so that a
change is a reviewable text diff. The icons are SVG drawings in res/, made
into .ico files by tools/make_icons.sh.
"""
import os
import struct
import sys


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [['.'] * size for _ in range(size)]

    def put(self, x, y, ch):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = ch

    def rows(self):
        return [''.join(row) for row in self.pixels]


# Cursor 139: a vertical double bar with arrows to the left and right; the
# hot spot (14, 6) is the gap between the bars, level with the arrow tips.
SPLITTER_HOTSPOT = (14, 6)


def splitter_cursor():
    c = Canvas(32)
    hx, hy = SPLITTER_HOTSPOT
    for y in range(hy - 6, hy + 7):      # the two bars, a one-pixel gap between
        for x in (hx - 2, hx - 1, hx + 1, hx + 2):
            c.put(x, y, 'k')
    for x in range(hx - 9, hx - 2):      # shafts
        c.put(x, hy, 'k')
    for x in range(hx + 3, hx + 10):
        c.put(x, hy, 'k')
    for d in range(1, 4):                # solid arrow heads
        for y in range(hy - d, hy + d + 1):
            c.put(hx - 9 + d, y, 'k')
            c.put(hx + 9 - d, y, 'k')
    return c.rows()


def mask_rows(rows, size):
    """AND mask: 1 where transparent, rows padded to 32 bits, bottom-up."""
    stride = ((size + 31) // 32) * 4
    out = b''
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, ch in enumerate(row):
            if ch == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def cursor_image(rows):
    """Monochrome: XOR 1 = white, AND 1 = transparent; black pixels are 0/0."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack('BBBBBBBB', 0, 0, 0, 0, 255, 255, 255, 0)
    xor = bytes(((size + 31) // 32) * 4 * size)
    return size, header + palette + xor + mask_rows(rows, size)


def write_group(path, images, hotspot):
    """A cursor directory: where an icon's has planes and bits, a hot spot."""
    data = struct.pack('<HHH', 0, 2, len(images))
    offset = 6 + 16 * len(images)
    for size, blob, colours in images:
        x, y = hotspot
        data += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, x, y, len(blob), offset)
        offset += len(blob)
    for _, blob, _ in images:
        data += blob
    with open(path, 'wb') as f:
        f.write(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'res')
    size, blob = cursor_image(splitter_cursor())
    write_group(os.path.join(out, 'splitter.cur'), [(size, blob, 2)], SPLITTER_HOTSPOT)


if __name__ == '__main__':
    main()
