#!/usr/bin/env python3
"""Draws the program's icons and cursors and writes them as .ico and .cur
files beside this script. Each picture is a few outlined shapes on a design
grid, drawn afresh at every size the system asks for (icons at 16, 20, 24,
32, 48 and 64 pixels: the small and the large icon at 100 to 200 %;
cursors at 32, 48 and 64: the cursor size at 100, 150 and 200 %), so no
size is another stretched. The files are checked in; run this again only
after a change."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ICON_SIZES = (16, 20, 24, 32, 48, 64)
CURSOR_SIZES = (32, 48, 64)

COLOURS = {
    'k': (0, 0, 0), 'w': (255, 255, 255), 'g': (128, 128, 128), 'l': (192, 192, 192),
    'y': (255, 204, 64), 'o': (204, 136, 0), 'b': (40, 80, 200), 'c': (120, 170, 255),
    'r': (200, 40, 40),
}


class Canvas:
    """size x size pixels of palette letters ('.' transparent); shapes are
    given on a grid of `grid` units and sampled at the pixel centres."""

    def __init__(self, size, grid):
        self.size = size
        self.scale = size / grid
        self.rows = [['.'] * size for _ in range(size)]
        # Outlines one pixel wide up to 32 pixels, two at 48 and more.
        self.line = max(1, round(size / 32 + 0.01))

    def shape(self, points, fill, outline='k'):
        """A polygon filled with `fill`, its edge drawn in `outline` (None:
        no edge) `self.line` pixels wide, inside the polygon."""
        # Corners on pixel corners: straight edges stay one pixel wide.
        pts = [(snap(x * self.scale), snap(y * self.scale)) for x, y in points]
        edges = list(zip(pts, pts[1:] + pts[:1]))
        n = self.size
        mask = [[inside(i + 0.5, j + 0.5, edges) for i in range(n)] for j in range(n)]

        def outside(i, j):
            return not (0 <= i < n and 0 <= j < n and mask[j][i])

        # The edge: pixels of the shape with a pixel outside it within the
        # line width, straight or sloping alike.
        for j in range(n):
            for i in range(n):
                if not mask[j][i]:
                    continue
                edge = outline and any(outside(i + d * dx, j + d * dy) for d in range(1, self.line + 1)
                                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                self.rows[j][i] = outline if edge else fill

    def rect(self, x0, y0, x1, y1, fill, outline='k'):
        self.shape([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], fill, outline)

    def text(self):
        return [''.join(r) for r in self.rows]


def snap(value):
    return int(value + 0.5)


def inside(px, py, edges):
    result = False
    for (x0, y0), (x1, y1) in edges:
        if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
            result = not result
    return result


def draw_app(size):
    """The program: a sheet of ruled paper with a pen across it."""
    c = Canvas(size, 32)
    c.shape([(5, 2), (24, 2), (29, 7), (29, 29), (5, 29)], 'w')
    c.shape([(23, 2), (29, 8), (23, 8)], 'w')
    for y, end in ((7, 17), (10, 21), (13, 21), (16, 21), (19, 18), (22, 15), (25, 12)):
        c.rect(7, y, end, y + 1.2, 'b', None)
    # The pen, from the upper right down to its tip at the lower left.
    c.shape([(27.5, 11), (31, 14.5), (20.5, 25), (17, 21.5)], 'r')
    c.shape([(17, 21.5), (20.5, 25), (15.5, 27)], 'y')
    return c


def draw_label(size, open_):
    """A label: a folder, closed (normal image) or open (selected image)."""
    c = Canvas(size, 16)
    c.shape([(0.5, 4.5), (1.5, 2), (6.5, 2), (8, 4.5)], 'y')
    if not open_:
        c.rect(0, 4, 16, 15, 'y')
        c.rect(1.2, 6.2, 14.8, 7.2, 'o', None)
        return c
    c.rect(0, 4, 15, 14, 'y')
    c.rect(2, 5, 13, 9, 'w')
    c.shape([(2.5, 8), (16, 8), (14, 15), (0, 15)], 'c')
    c.rect(1, 13, 14.6, 14, 'b', None)
    return c


ARROW = [(0, 0), (0, 16), (4, 12.3), (6.8, 18.5), (9.3, 17.4), (6.6, 11.2), (11.5, 11.2)]


def draw_cursor(size, sign):
    """The drag cursors: the arrow with a box, minus to move, plus to copy."""
    c = Canvas(size, 32)
    c.shape([(x + 1, y) for x, y in ARROW], 'w')
    if sign:
        c.rect(12, 18, 21, 27, 'w')
        c.rect(14, 22, 19, 23, 'k', None)
        if sign == '+':
            c.rect(16, 20, 17, 25, 'k', None)
    return c, (1, 0)


def draw_splitter(size):
    """The splitter: two bars with arrows pointing left and right."""
    c = Canvas(size, 32)
    c.rect(12, 7, 15, 25, 'w')
    c.rect(17, 7, 20, 25, 'w')
    c.shape([(3, 16), (9, 10), (9, 14), (13, 14), (13, 18), (9, 18), (9, 22)], 'w')
    c.shape([(29, 16), (23, 10), (23, 14), (19, 14), (19, 18), (23, 18), (23, 22)], 'w')
    return c, (16, 16)


def icon_image(rows):
    """BITMAPINFOHEADER + 24-bit XOR rows + 1-bit AND mask, bottom-up."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    xor_stride = (size * 3 + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor = b''
    mask = b''
    for row in reversed(rows):
        line = b''.join(bytes(reversed(COLOURS.get(ch, (0, 0, 0)))) for ch in row)
        xor += line.ljust(xor_stride, b'\0')
        mask += bits(row, '.').ljust(and_stride, b'\0')
    return header + xor + mask


def bits(row, ch):
    """One bit a pixel, set where the row holds ch, padded to whole bytes."""
    value = 0
    out = b''
    for i, c in enumerate(row):
        value = (value << 1) | (1 if c == ch else 0)
        if i % 8 == 7:
            out += bytes((value,))
            value = 0
    if len(row) % 8:
        out += bytes((value << (8 - len(row) % 8),))
    return out


def cursor_image(rows):
    """BITMAPINFOHEADER + 2-colour palette + XOR and AND masks, bottom-up."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 2)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    stride = ((size + 31) // 32) * 4
    xor = b''.join(bits(row, 'w').ljust(stride, b'\0') for row in reversed(rows))
    mask = b''.join(bits(row, '.').ljust(stride, b'\0') for row in reversed(rows))
    return header + palette + xor + mask


def write_group(name, kind, entries):
    """kind 1: icon, entries (rows, image); 2: cursor, (rows, image, hotspot)."""
    out = struct.pack('<HHH', 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b''
    for entry in entries:
        rows, image = entry[0], entry[1]
        size = len(rows)
        planes, bpp = (1, 24) if kind == 1 else entry[2]
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0 if kind == 1 else 2, 0,
                           planes, bpp, len(image), offset + len(blobs))
        blobs += image
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out + blobs)


def main():
    pictures = (('app.ico', draw_app), ('img1.ico', lambda s: draw_label(s, False)),
                ('img2.ico', lambda s: draw_label(s, True)))
    for name, draw in pictures:
        entries = []
        for size in ICON_SIZES:
            rows = draw(size).text()
            entries.append((rows, icon_image(rows)))
        write_group(name, 1, entries)
    cursors = (('move.cur', lambda s: draw_cursor(s, '-')), ('copy.cur', lambda s: draw_cursor(s, '+')),
               ('sep.cur', draw_splitter))
    for name, draw in cursors:
        entries = []
        for size in CURSOR_SIZES:
            canvas, (hx, hy) = draw(size)
            rows = canvas.text()
            hotspot = (round(hx * canvas.scale), round(hy * canvas.scale))
            entries.append((rows, cursor_image(rows), hotspot))
        write_group(name, 2, entries)


if __name__ == '__main__':
    main()
