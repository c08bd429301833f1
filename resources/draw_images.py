#!/usr/bin/env python3
"""Draws the program's button bitmaps and dialog icons as 16-colour XPM files.

Run from this folder; it rewrites bitmaps/*.xpm and icons/*/*.xpm. The images are plain pixel
art built from a few shapes, in the sixteen standard colours. Button bitmaps have an olive
background, which the buttons treat as transparent (their bottom-left pixel); icons use
transparent pixels.
"""
import math
import os

PALETTE = {
    ' ': 'None', '.': '#808000', 'k': '#000000', 'r': '#800000', 'g': '#008000',
    'n': '#000080', 'p': '#800080', 't': '#008080', 's': '#C0C0C0', 'd': '#808080', 'R': '#FF0000',
    'G': '#00FF00', 'Y': '#FFFF00', 'B': '#0000FF', 'F': '#FF00FF', 'A': '#00FFFF', 'w': '#FFFFFF',
}


class Image:
    def __init__(self, w, h, background='.'):
        self.w, self.h = w, h
        self.px = [[background] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1.0):
        # Every pixel whose centre lies within width/2 of the segment.
        for y in range(self.h):
            for x in range(self.w):
                px, py = x + 0.5, y + 0.5
                dx, dy = x1 - x0, y1 - y0
                length2 = dx * dx + dy * dy
                t = 0 if length2 == 0 else max(0, min(1, ((px - x0) * dx + (py - y0) * dy) / length2))
                qx, qy = x0 + t * dx, y0 + t * dy
                if (px - qx) ** 2 + (py - qy) ** 2 <= (width / 2) ** 2:
                    self.set(x, y, c)

    def polygon(self, points, c):
        for y in range(self.h):
            for x in range(self.w):
                px, py = x + 0.5, y + 0.5
                inside = False
                for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                    if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                        inside = not inside
                if inside:
                    self.set(x, y, c)

    def outline(self, fill, edge):
        """Puts `edge` on every background pixel that touches a `fill` pixel."""
        marks = []
        for y in range(self.h):
            for x in range(self.w):
                if self.px[y][x] == fill:
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < self.w and 0 <= ny < self.h and self.px[ny][nx] == fill:
                        if self.px[y][x] in '. ':
                            marks.append((x, y))
                        break
        for x, y in marks:
            self.set(x, y, edge)

    def text(self, x, y, rows, c):
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch == '#':
                    self.set(x + i, y + j, c)

    def write(self, path, name):
        used = sorted({c for row in self.px for c in row})
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'w') as f:
            f.write('/* XPM */\n')
            f.write('static const char *%s[] = {\n' % name)
            f.write('"%d %d %d 1",\n' % (self.w, self.h, len(used)))
            for c in used:
                f.write('"%s c %s",\n' % (c, PALETTE[c]))
            f.write(',\n'.join('"%s"' % ''.join(row) for row in self.px))
            f.write('};\n')


def check(img, x0, y0, scale, fill='G', edge='g'):
    pts = [(0, 5), (2, 3), (4, 5), (9, 0), (11, 2), (4, 9)]
    img.polygon([(x0 + px * scale, y0 + py * scale) for px, py in pts], fill)
    img.outline(fill, edge)


def cross(img, cx, cy, r, width, fill='R', edge='r'):
    img.line(cx - r, cy - r, cx + r, cy + r, fill, width)
    img.line(cx - r, cy + r, cx + r, cy - r, fill, width)
    img.outline(fill, edge)


QUESTION = [' ### ', '#   #', '    #', '   # ', '  #  ', '     ', '  #  ']
BIG_QUESTION = ['  ####  ', ' ##  ## ', ' ##  ## ', '     ## ', '    ##  ', '   ##   ', '   ##   ',
                '        ', '   ##   ', '   ##   ']
BANG = ['##', '##', '##', '##', '##', '##', '  ', '##', '##']
SMALL_I = ['##', '  ', '##', '##', '##', '##', '##', '##']


def bitmaps():
    out = {}
    img = Image(20, 18)
    check(img, 3, 3, 1.25)
    out['YES'] = img

    img = Image(20, 18)
    cross(img, 10, 9, 5, 3.2)
    out['NO'] = img

    img = Image(16, 16)
    check(img, 2, 3, 1.0)
    img.text(3, 13, ['#'], 'g')
    out['OK'] = img

    img = Image(16, 16)
    img.disc(8, 8, 6.5, 'R')
    img.outline('R', 'r')
    img.line(4.5, 4.5, 11.5, 11.5, 'w', 2)
    img.line(4.5, 11.5, 11.5, 4.5, 'w', 2)
    out['CANCEL'] = img

    img = Image(17, 15)
    for a in range(40, 330, 4):
        t = math.radians(a)
        img.disc(8.5 + 5 * math.cos(t), 7.5 - 5 * math.sin(t), 1.2, 'B')
    img.polygon([(11.5, 1.5), (16, 4.5), (11.5, 7.5)], 'B')
    img.outline('B', 'n')
    out['RETRY'] = img

    img = Image(17, 15)
    r, c = 6.5, (8.5, 7.5)
    img.polygon([(c[0] + r * math.cos(math.radians(22.5 + 45 * i)),
                  c[1] + r * math.sin(math.radians(22.5 + 45 * i))) for i in range(8)], 'R')
    img.outline('R', 'r')
    img.rect(5, 6, 11, 8, 'w')
    out['ABORT'] = img

    img = Image(17, 15)
    img.line(2, 11, 6, 4, 'd', 2)
    img.line(6, 4, 11, 4, 'd', 2)
    img.line(11, 4, 14, 10, 'd', 2)
    img.polygon([(11, 10), (16, 9), (14.5, 14)], 'd')
    img.outline('d', 'k')
    img.disc(8.5, 11, 1.6, 'R')
    out['IGNORE'] = img

    img = Image(16, 16)
    check(img, 1, 1, 0.9)
    check(img, 4, 6, 0.9)
    out['ALL'] = img

    img = Image(16, 17)
    cross(img, 6, 6, 3, 2.2)
    cross(img, 10, 11, 3, 2.2)
    out['NOTOALL'] = img

    img = Image(16, 17)
    check(img, 1, 1, 0.9)
    check(img, 4, 7, 0.9)
    out['YESTOALL'] = img

    img = Image(16, 16)
    img.disc(8, 8, 7, 'B')
    img.outline('B', 'n')
    img.text(6, 4, QUESTION, 'w')
    out['HELP'] = img

    img = Image(17, 19)
    img.rect(3, 1, 13, 9, 'w')
    img.outline('w', 'k')
    for y in (3, 5, 7):
        img.rect(5, y, 11, y, 'd')
    for dy in (11, 14):
        img.polygon([(3.5, dy), (8.5, dy + 4), (13.5, dy), (13.5, dy + 1.5), (8.5, dy + 5.5), (3.5, dy + 1.5)], 'n')
    out['DETALHES'] = img

    img = Image(17, 17)
    img.rect(3, 8, 13, 15, 'w')
    img.outline('w', 'k')
    for y in (10, 12, 14):
        img.rect(5, y, 11, y, 'd')
    for dy in (1, 4):
        img.polygon([(3.5, dy + 4), (8.5, dy), (13.5, dy + 4), (13.5, dy + 5.5), (8.5, dy + 1.5), (3.5, dy + 5.5)], 'n')
    out['DETALHES2'] = img

    img = Image(8, 8, 'k')
    for y in range(8):
        for x in range(8):
            if (x + y) % 2 == 0:
                img.set(x, y, 'w')
    out['CLRBTNPATTERN'] = img
    return out


def icons():
    out = {}
    img = Image(32, 32, ' ')
    img.polygon([(16, 2), (30.5, 28.5), (1.5, 28.5)], 'Y')
    img.outline('Y', 'k')
    img.text(15, 10, BANG, 'k')
    out['XWARNING'] = {32: img}

    img = Image(32, 32, ' ')
    img.disc(16, 16, 14, 'R')
    img.outline('R', 'r')
    img.line(10, 10, 22, 22, 'w', 3.5)
    img.line(10, 22, 22, 10, 'w', 3.5)
    out['XERROR'] = {32: img}

    img = Image(32, 32, ' ')
    img.disc(16, 15, 13, 'w')
    img.polygon([(9, 24), (8, 31), (15, 26)], 'w')
    img.outline('w', 'k')
    img.text(15, 8, SMALL_I, 'B')
    img.rect(13, 20, 18, 21, 'B')
    out['XINFORMATION'] = {32: img}

    img = Image(32, 32, ' ')
    img.disc(16, 15, 13, 'w')
    img.polygon([(9, 24), (8, 31), (15, 26)], 'w')
    img.outline('w', 'k')
    img.text(12, 8, BIG_QUESTION, 'B')
    out['XCONFIRMATION'] = {32: img}

    def envelope(size):
        img = Image(size, size, ' ')
        m = size // 8
        top, bottom = size // 4, size - size // 4
        img.rect(m, top, size - m - 1, bottom, 'w')
        img.outline('w', 'k')
        img.line(m + 0.5, top + 0.5, size / 2, (top + bottom) / 2 + 0.5, 'd', 1)
        img.line(size - m - 0.5, top + 0.5, size / 2, (top + bottom) / 2 + 0.5, 'd', 1)
        img.rect(size - m - 1 - size // 5, top + 1, size - m - 2, top + size // 6, 'R')
        return img
    out['XMENSAGEM'] = {32: envelope(32), 16: envelope(16)}

    img = Image(32, 32, ' ')
    img.rect(1, 3, 26, 24, 's')
    img.rect(2, 4, 25, 7, 'n')
    img.rect(2, 8, 25, 23, 'w')
    img.outline('s', 'k')
    img.disc(21, 21, 10, 'R')
    img.outline('R', 'r')
    img.line(17, 17, 25, 25, 'w', 2.5)
    img.line(17, 25, 25, 17, 'w', 2.5)
    out['XERRORWINDOWS'] = {32: img}
    return out


def main():
    entries = []
    for name, img in bitmaps().items():
        img.write('bitmaps/%s.xpm' % name, name.lower())
        entries.append(('/bitmap', name, 'bitmaps/%s.xpm' % name))
    for name, sizes in icons().items():
        for size, img in sizes.items():
            img.write('icons/%s/%d.xpm' % (name, size), '%s_%d' % (name.lower(), size))
            entries.append(('/icon/' + name, str(size), 'icons/%s/%d.xpm' % (name, size)))
    with open('pavana.qrc', 'w') as f:
        f.write('<!DOCTYPE RCC>\n<RCC version="1.0">\n')
        prefixes = sorted({e[0] for e in entries})
        for prefix in prefixes:
            f.write('  <qresource prefix="%s">\n' % prefix)
            for p, alias, path in entries:
                if p == prefix:
                    f.write('    <file alias="%s">%s</file>\n' % (alias, path))
            f.write('  </qresource>\n')
        f.write('</RCC>\n')


if __name__ == '__main__':
    main()
