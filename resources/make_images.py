#!/usr/bin/env python3
"""Draws the program's icons and cursors from the pixel maps below and writes
them as .ico and .cur files beside this script. The files are checked in; run
this again only after changing a map."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Palette for icon maps: '.' transparent.
COLOURS = {
    'k': (0, 0, 0), 'w': (255, 255, 255), 'g': (128, 128, 128), 'l': (192, 192, 192),
    'y': (255, 204, 64), 'o': (204, 136, 0), 'b': (40, 80, 200), 'c': (120, 170, 255),
    'r': (200, 40, 40),
}

# The program: a sheet of ruled paper with a pen.
APP_32 = """
................................
................................
.....kkkkkkkkkkkkkkkkkkk........
.....kwwwwwwwwwwwwwwwwwkk.......
.....kwwwwwwwwwwwwwwwwwkwk......
.....kwwwwwwwwwwwwwwwwwkwwk.....
.....kwbbbbbbbbbbbwwwwwkkkkk....
.....kwwwwwwwwwwwwwwwwwwwwwk....
.....kwbbbbbbbbbbbbbbbwwwwwk....
.....kwwwwwwwwwwwwwwwwwwwwwk....
.....kwbbbbbbbbbbbbbbbwwwwwk....
.....kwwwwwwwwwwwwwwwwwwwwwk....
.....kwbbbbbbbbbbbbwwwwwwwwk..kk
.....kwwwwwwwwwwwwwwwwwwwwwk.krk
.....kwbbbbbbbbbbbbbbbwwwwwkkrrk
.....kwwwwwwwwwwwwwwwwwwwwwkrrk.
.....kwbbbbbbbbbbbbbbwwwwwkrrk..
.....kwwwwwwwwwwwwwwwwwwwkrrkk..
.....kwbbbbbbbbbbbbbbbwwkrrkwk..
.....kwwwwwwwwwwwwwwwwwkrrkwwk..
.....kwbbbbbbbbbbbwwwwkrrkwwwk..
.....kwwwwwwwwwwwwwwwkrrkwwwwk..
.....kwbbbbbbbbbbbbwkyykwwwwwk..
.....kwwwwwwwwwwwwwwkyykwwwwwk..
.....kwbbbbbbbbbbbwkkkwwwwwwwk..
.....kwwwwwwwwwwwwwkkwwwwwwwwk..
.....kwwwwwwwwwwwwwwwwwwwwwwwk..
.....kwwwwwwwwwwwwwwwwwwwwwwwk..
.....kkkkkkkkkkkkkkkkkkkkkkkkk..
................................
................................
................................
"""

APP_16 = """
................
..kkkkkkkkk.....
..kwwwwwwwkk....
..kwbbbbwwkwk...
..kwwwwwwwwwk...
..kwbbbbbbwwk...
..kwwwwwwwwwk.kk
..kwbbbbbwwwkkrk
..kwwwwwwwwkrrk.
..kwbbbbbwkrrk..
..kwwwwwwkrrkk..
..kwbbbbkyykwk..
..kwwwwwkkkwwk..
..kwwwwwwwwwwk..
..kkkkkkkkkkkk..
................
"""

# A label, closed (normal image) and open (selected image).
IMG1_16 = """
................
................
..kkkkk.........
.kyyyyyk........
kyyyyyyykkkkkkk.
kyyyyyyyyyyyyyk.
kyooooooooooooyk
kyyyyyyyyyyyyyok
kyyyyyyyyyyyyyok
kyyyyyyyyyyyyyok
kyyyyyyyyyyyyyok
kyyyyyyyyyyyyyok
kyyyyyyyyyyyyyok
kooooooooooooook
.kkkkkkkkkkkkkk.
................
"""

IMG2_16 = """
................
................
..kkkkk.........
.kyyyyyk........
kyyyyyyykkkkkkk.
kywwwwwwwwwwwyk.
kywkkkkkkkkkwyk.
kywwwwwwwwwwwyk.
kkkkkkkkkkkkkkkk
kcccccccccccccck
.kcccccccccccccck
.kcccccccccccccck
..kcccccccccccck
..kbbbbbbbbbbbbk
...kkkkkkkkkkkk.
................
"""

# Cursors: 'k' black, 'w' white, '.' transparent. 32 x 32.
ARROW = [
    "k...........",
    "kk..........",
    "kwk.........",
    "kwwk........",
    "kwwwk.......",
    "kwwwwk......",
    "kwwwwwk.....",
    "kwwwwwwk....",
    "kwwwwwwwk...",
    "kwwwwwwwwk..",
    "kwwwwwkkkkk.",
    "kwwkwwk.....",
    "kwk.kwwk....",
    "kk..kwwk....",
    "k....kwwk...",
    ".....kwwk...",
    "......kk....",
]

BOX_MINUS = [
    "kkkkkkkkk",
    "kwwwwwwwk",
    "kwwwwwwwk",
    "kwwwwwwwk",
    "kwkkkkkwk",
    "kwwwwwwwk",
    "kwwwwwwwk",
    "kwwwwwwwk",
    "kkkkkkkkk",
]

BOX_PLUS = [
    "kkkkkkkkk",
    "kwwwwwwwk",
    "kwwwkwwwk",
    "kwwwkwwwk",
    "kwkkkkkwk",
    "kwwwkwwwk",
    "kwwwkwwwk",
    "kwwwwwwwk",
    "kkkkkkkkk",
]

# The splitter: two bars with arrows pointing left and right.
SEP = [
    "......kwk.kwk......",
    "......kwk.kwk......",
    "......kwk.kwk......",
    "...kk.kwk.kwk.kk...",
    "..kwk.kwk.kwk.kwk..",
    ".kwwkkkwk.kwkkkwwk.",
    "kwwwwwwwk.kwwwwwwwk",
    ".kwwkkkwk.kwkkkwwk.",
    "..kwk.kwk.kwk.kwk..",
    "...kk.kwk.kwk.kk...",
    "......kwk.kwk......",
    "......kwk.kwk......",
    "......kwk.kwk......",
]


def parse(text):
    return [row for row in text.strip('\n').split('\n')]


def blank(size):
    return [['.'] * size for _ in range(size)]


def paste(canvas, rows, x, y):
    for j, row in enumerate(rows):
        for i, ch in enumerate(row):
            if ch != '.':
                canvas[y + j][x + i] = ch


def icon_image(rows):
    """BITMAPINFOHEADER + 24-bit XOR rows + 1-bit AND mask, bottom-up."""
    size = len(rows)
    assert all(len(r) == size for r in rows), rows
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    xor_stride = (size * 3 + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor = b''
    mask = b''
    for row in reversed(rows):
        line = b''
        bits = 0
        maskline = b''
        for i, ch in enumerate(row):
            r, g, b = COLOURS.get(ch, (0, 0, 0))
            line += bytes((b, g, r))
            bits = (bits << 1) | (1 if ch == '.' else 0)
            if i % 8 == 7:
                maskline += bytes((bits,))
                bits = 0
        xor += line.ljust(xor_stride, b'\0')
        mask += maskline.ljust(and_stride, b'\0')
    return header + xor + mask


def cursor_image(rows):
    """BITMAPINFOHEADER + 2-colour palette + XOR and AND masks, bottom-up."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 2)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    stride = ((size + 31) // 32) * 4
    xor = b''
    mask = b''
    for row in reversed(rows):
        xb = 0
        ab = 0
        xline = b''
        aline = b''
        for i, ch in enumerate(row):
            xb = (xb << 1) | (1 if ch == 'w' else 0)
            ab = (ab << 1) | (1 if ch == '.' else 0)
            if i % 8 == 7:
                xline += bytes((xb,))
                aline += bytes((ab,))
                xb = ab = 0
        xor += xline.ljust(stride, b'\0')
        mask += aline.ljust(stride, b'\0')
    return header + palette + xor + mask


def write_group(name, kind, entries):
    """kind 1: icon (entries of (rows, image)); 2: cursor ((rows, image, hotspot))."""
    out = struct.pack('<HHH', 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b''
    for entry in entries:
        rows, image = entry[0], entry[1]
        size = len(rows)
        if kind == 1:
            planes, bpp = 1, 24
        else:
            planes, bpp = entry[2]
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0 if kind == 1 else 2, 0,
                           planes, bpp, len(image), offset + len(blobs))
        blobs += image
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out + blobs)


def make_cursor(name, box):
    canvas = blank(32)
    paste(canvas, ARROW, 2, 0)
    if box:
        paste(canvas, box, 12, 18)
    rows = [''.join(r) for r in canvas]
    write_group(name, 2, [(rows, cursor_image(rows), (2, 0))])


def main():
    for name, maps in (('app.ico', (APP_32, APP_16)), ('img1.ico', (IMG1_16,)),
                       ('img2.ico', (IMG2_16,))):
        entries = []
        for m in maps:
            rows = parse(m)
            rows = [r.ljust(len(rows), '.')[:len(rows)] for r in rows]
            entries.append((rows, icon_image(rows)))
        write_group(name, 1, entries)
    make_cursor('move.cur', BOX_MINUS)
    make_cursor('copy.cur', BOX_PLUS)
    canvas = blank(32)
    paste(canvas, SEP, 6, 9)
    rows = [''.join(r) for r in canvas]
    write_group('sep.cur', 2, [(rows, cursor_image(rows), (15, 15))])


if __name__ == '__main__':
    main()
