#!/usr/bin/python3
"""Draws the installer's artwork into setup/res/:
  orvalt.bmp  the title logo, 350 x 150, 1 bit per pixel, black on white
  back.bmp    the backdrop tile, 128 x 128, 16 colours, a green texture,
              run-length encoded (BI_RLE4, a DIB format since Windows 3.0):
              smooth shades in runs take a third of the plain bits
  orvalt.ico  the program icon, 32 x 32, 16 colours
Deterministic: running it again gives the same bytes. Standard library only."""
import os
import random
import struct
import sys

# A chunky pixel face: 5 columns, 9 rows (rows 0-2 ascender, 3-8 x-height).
GLYPHS = {
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", "#...."],
    "v": [".....", ".....", ".....", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "a": [".....", ".....", ".....", ".###.", "....#", ".####", "#...#", "#...#", ".####"],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "t": [".....", ".#...", ".#...", "####.", ".#...", ".#...", ".#...", ".#..#", "..##."],
}


BI_RGB, BI_RLE4 = 0, 2


def rle4_pixels(rows):
    """BI_RLE4 bits, bottom row first: every run in encoded mode (a count
    and a byte of two colours that the run alternates), an end-of-line
    mark after each row and the end-of-bitmap mark last."""
    out = bytearray()
    for row in reversed(rows):
        x = 0
        while x < len(row):
            first = row[x]
            second = row[x + 1] if x + 1 < len(row) else first
            count = 1
            while x + count < len(row) and count < 255 and row[x + count] == (first, second)[count % 2]:
                count += 1
            out += bytes([count, (first << 4) | second])
            x += count
        out += b"\0\0"
    out[-2:] = b"\0\1"
    return out


def bmp_file(width, height, bpp, palette, rows, compression=BI_RGB):
    """rows: list of lists of palette indices, top row first."""
    stride = ((width * bpp + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, value in enumerate(row):
            if bpp == 1:
                if value:
                    bits[x // 8] |= 0x80 >> (x % 8)
            else:
                shift = 4 if x % 2 == 0 else 0
                bits[x // 2] |= (value & 15) << shift
        pixels += bits
    if compression == BI_RLE4:
        pixels = rle4_pixels(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, len(pixels),
                       2835, 2835, len(palette), len(palette))
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + len(info) + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + pal + bytes(pixels)


def draw_word(canvas, word, left, top, cell_w, cell_h, value):
    x = left
    for ch in word:
        glyph = GLYPHS[ch]
        for r, line in enumerate(glyph):
            for c, mark in enumerate(line):
                if mark == "#":
                    for yy in range(top + r * cell_h, top + (r + 1) * cell_h):
                        for xx in range(x + c * cell_w, x + (c + 1) * cell_w):
                            canvas[yy][xx] = value
        x += 6 * cell_w


def logo():
    width, height = 350, 150
    white, black = 1, 0
    canvas = [[white] * width for _ in range(height)]
    cell_w, cell_h = 9, 11
    text_w = (6 * 6 - 1) * cell_w
    left = (width - text_w) // 2
    draw_word(canvas, "Orvalt", left, 14, cell_w, cell_h, black)
    # A rule under the word, with a gap in the middle for a small diamond.
    for y in range(124, 128):
        for x in range(left, left + text_w):
            if abs(x - width // 2) > 14:
                canvas[y][x] = black
    for dy in range(-6, 7):
        for dx in range(-6 + abs(dy), 7 - abs(dy)):
            canvas[126 + dy][width // 2 + dx] = black
    return bmp_file(width, height, 1, [(0, 0, 0), (255, 255, 255)], canvas)


GREENS = [(0, 40 + 9 * i, 10 + 3 * i) if i < 12 else (20 * (i - 11), 150 + 12 * (i - 11), 50)
          for i in range(16)]


def tile():
    """Three octaves of smooth value noise, wrapping at the tile's edges,
    in eight shades of green: shades change in runs, which RLE4 keeps short."""
    size = 128
    rng = random.Random(1995)

    def octave(lattice):
        n = size // lattice
        grid = [[rng.random() for _ in range(n)] for _ in range(n)]

        def smooth(x, y):
            gx, gy = x / lattice, y / lattice
            x0, y0 = int(gx) % n, int(gy) % n
            x1, y1 = (x0 + 1) % n, (y0 + 1) % n
            fx, fy = gx - int(gx), gy - int(gy)
            fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
            top = grid[y0][x0] * (1 - fx) + grid[y0][x1] * fx
            bottom = grid[y1][x0] * (1 - fx) + grid[y1][x1] * fx
            return top * (1 - fy) + bottom * fy
        return smooth

    coarse, middle, fine = octave(32), octave(16), octave(8)
    shades = 8
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            v = (0.5 * coarse(x, y) + 0.3 * middle(x, y) + 0.2 * fine(x, y) - 0.2) / 0.6
            shade = max(0, min(shades - 1, int(v * shades)))
            row.append(2 + shade * 11 // (shades - 1))
        rows.append(row)
    return bmp_file(size, size, 4, GREENS, rows, BI_RLE4)


def icon():
    size = 32
    palette = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    dark, green, white, grey = 2, 10, 15, 8
    pix = [[0] * size for _ in range(size)]
    mask = [[1] * size for _ in range(size)]
    for y in range(1, 31):
        for x in range(1, 31):
            corner = (x in (1, 30)) and (y in (1, 30))
            if corner:
                continue
            mask[y][x] = 0
            edge = x in (1, 30) or y in (1, 30)
            pix[y][x] = dark if edge else (green if (x + y) % 6 else dark)
    # The letter O of the logo face, 3 x 3 pixel cells, with a grey shadow.
    glyph = GLYPHS["O"]
    for offset, value in ((1, grey), (0, white)):
        for r, line in enumerate(glyph):
            for c, mark in enumerate(line):
                if mark == "#":
                    for yy in range(3 + r * 3 + offset, 3 + (r + 1) * 3 + offset):
                        for xx in range(9 + c * 3 + offset, 9 + (c + 1) * 3 + offset):
                            pix[yy][xx] = value
    xor_stride, and_stride = 16, 4
    xor = bytearray()
    for row in reversed(pix):
        line = bytearray(xor_stride)
        for x, v in enumerate(row):
            line[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += line
    andbits = bytearray()
    for row in reversed(mask):
        line = bytearray(and_stride)
        for x, v in enumerate(row):
            if v:
                line[x // 8] |= 0x80 >> (x % 8)
        andbits += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(andbits),
                       0, 0, 16, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    image = info + pal + bytes(xor) + bytes(andbits)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "setup", "res")
    os.makedirs(out, exist_ok=True)
    for name, data in (("orvalt.bmp", logo()), ("back.bmp", tile()), ("orvalt.ico", icon())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
