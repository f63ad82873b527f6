#!/usr/bin/env python3
"""Draws Savanto's icons and splitter cursor and writes them as .ico/.cur files.

Usage: tools/make_artwork.py [OUTPUT_DIR]   (default: res/ beside this script)

Icons are 16-colour (4 bits per pixel, the standard VGA palette) with a
1-bit transparency mask; the cursor is 32x32 monochrome. The pictures are
drawn here as character maps so that a change is a reviewable text diff.
"""
import os
import struct
import sys

# Standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Map characters: '.' transparent, others a palette index.
COLOURS = {'k': 0, 'n': 4, 't': 6, 's': 7, 'g': 8, 'y': 11, 'b': 12, 'c': 14, 'w': 15, 'o': 3}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [['.'] * size for _ in range(size)]

    def put(self, x, y, ch):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = ch

    def rect(self, x0, y0, x1, y1, fill, outline=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                self.put(x, y, outline if (edge and outline) else fill)

    def disc(self, cx, cy, r, ch):
        for y in range(self.size):
            for x in range(self.size):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, ch)

    def rows(self):
        return [''.join(row) for row in self.pixels]


def music_player(size):
    """The application icon: a pocket music player with screen and wheel."""
    c = Canvas(size)
    if size == 32:
        c.rect(8, 1, 23, 30, 's', 'k')
        c.rect(9, 2, 22, 2, 'w')
        c.rect(10, 4, 21, 13, 'c', 'n')
        c.rect(11, 6, 17, 6, 'n')
        c.rect(11, 8, 19, 8, 'n')
        c.rect(11, 10, 15, 10, 'n')
        c.disc(15.5, 21.5, 6, 'g')
        c.disc(15.5, 21.5, 2.2, 'w')
    else:
        c.rect(4, 0, 11, 15, 's', 'k')
        c.rect(5, 2, 10, 6, 'c', 'n')
        c.rect(6, 4, 8, 4, 'n')
        c.disc(7.5, 10.5, 3, 'g')
        c.disc(7.5, 10.5, 1, 'w')
    return c.rows()


PLAYLIST = [  # 117: one playlist, a sheet listing tracks
    '................',
    '..kkkkkkkkkk....',
    '..kwwwwwwwwkk...',
    '..kwnnnnwwwkwk..',
    '..kwwwwwwwwkkkk.',
    '..kwnnnnnnwwwwk.',
    '..kwwwwwwwwwwwk.',
    '..kwnnnnnwwwwwk.',
    '..kwwwwwwwwbwwk.',
    '..kwnnnnwwwbbwk.',
    '..kwwwwwwwwbwbk.',
    '..kwnnnnnwbbwwk.',
    '..kwwwwwwbbbwwk.',
    '..kwwwwwwwbwwwk.',
    '..kkkkkkkkkkkkk.',
    '................',
]

PLAYLIST_ROOT = [  # 148: all playlists, a folder holding a note
    '................',
    '................',
    '.kkkkk..........',
    'kyyyyyk.........',
    'kyyyyyykkkkkkk..',
    'kyyyyyyyyyyyyyk.',
    'kyyyyyyyyyykyyk.',
    'kyyyyyyyyyykkyk.',
    'kyyyyyyyyyykykk.',
    'kyyyyyyyyyykyyk.',
    'kyyyyyyykkkkyyk.',
    'kyyyyyykkkkkyyk.',
    'kyyyyyyykkkyyyk.',
    'kooooooooooooook',
    '.kkkkkkkkkkkkkk.',
    '................',
]

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


def icon_image(rows):
    size = len(rows)
    assert all(len(r) == size for r in rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    stride = ((size * 4 + 31) // 32) * 4
    xor = b''
    for row in reversed(rows):
        line = bytearray(stride)
        for x, ch in enumerate(row):
            index = 0 if ch == '.' else COLOURS[ch]
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += bytes(line)
    return size, header + palette + xor + mask_rows(rows, size)


def cursor_image(rows):
    """Monochrome: XOR 1 = white, AND 1 = transparent; black pixels are 0/0."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack('BBBBBBBB', 0, 0, 0, 0, 255, 255, 255, 0)
    xor = bytes(((size + 31) // 32) * 4 * size)
    return size, header + palette + xor + mask_rows(rows, size)


def write_group(path, images, kind, hotspot=(0, 0)):
    """kind 1: icon directory; kind 2: cursor directory with hot spots."""
    data = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for size, blob, colours in images:
        if kind == 1:
            planes, bits = 1, 4
        else:
            planes, bits = hotspot
        data += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, planes, bits, len(blob), offset)
        offset += len(blob)
    for _, blob, _ in images:
        data += blob
    with open(path, 'wb') as f:
        f.write(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'res')
    icons = {
        'savanto.ico': [music_player(32), music_player(16)],
        'playlist.ico': [PLAYLIST],
        'playlist_root.ico': [PLAYLIST_ROOT],
    }
    for name, pictures in icons.items():
        images = [icon_image(rows) + (16,) for rows in pictures]
        write_group(os.path.join(out, name), images, 1)
    size, blob = cursor_image(splitter_cursor())
    write_group(os.path.join(out, 'splitter.cur'), [(size, blob, 2)], 2, SPLITTER_HOTSPOT)


if __name__ == '__main__':
    main()
