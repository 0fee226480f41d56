#!/usr/bin/python3
"""Draws the switcher's artwork: the program icon, the pop-up's shadow
pattern, and the icons of the simulated IMEs of the Wine build.

    make_klvo_art.py klvo/res            kelvo.ico, shadowptn.bmp
    make_klvo_art.py --ime DIR           ime_a.ico ... ime_d.ico

Icons are 16-colour (the standard VGA palette), 32x32 and 16x16, with an
AND mask, as Windows 95 reads them."""
import os
import struct
import sys

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, LIME, YELLOW, BLUE, \
    FUCHSIA, AQUA, WHITE = range(16)
CLEAR = None

# 5 x 7 letters for the IME icons.
LETTERS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[CLEAR] * size for _ in range(size)]

    def rect(self, l, t, r, b, colour):          # r, b exclusive
        for y in range(max(t, 0), min(b, self.size)):
            for x in range(max(l, 0), min(r, self.size)):
                self.px[y][x] = colour

    def frame(self, l, t, r, b, light, dark):
        self.rect(l, t, r, t + 1, light)
        self.rect(l, t, l + 1, b, light)
        self.rect(l, b - 1, r, b, dark)
        self.rect(r - 1, t, r, b, dark)

    def letter(self, ch, x0, y0, scale, colour):
        for row, bits in enumerate(LETTERS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    self.rect(x0 + col * scale, y0 + row * scale,
                              x0 + (col + 1) * scale, y0 + (row + 1) * scale, colour)


def keycap(c, l, t, r, b, face):
    c.rect(l, t, r, b, BLACK)
    c.rect(l + 1, t + 1, r - 1, b - 1, face)
    c.frame(l + 1, t + 1, r - 1, b - 1, WHITE, GREY)


def kelvo_icon(size):
    """Two keycaps, the front one lettered, with a turning arrow between
    them: the key that changes the input method."""
    c = Canvas(size)
    s = size / 32
    k = lambda v: int(round(v * s))
    keycap(c, k(1), k(1), k(19), k(19), SILVER)
    c.rect(k(5), k(5), k(15), k(15), NAVY)
    keycap(c, k(12), k(12), k(31), k(31), SILVER)
    c.rect(k(16), k(16), k(27), k(27), MAROON)
    if size >= 32:
        for y, bits in enumerate(["0110", "1001", "1111", "1001", "1001"]):
            for x, bit in enumerate(bits):
                if bit == "1":
                    c.rect(8 + x * 1, 7 + y * 1, 9 + x, 8 + y, WHITE)
        for y, bits in enumerate(["00100", "11111", "00101", "01111", "10101", "01010"]):
            for x, bit in enumerate(bits):
                if bit == "1":
                    c.rect(19 + x, 18 + y, 20 + x, 19 + y, WHITE)
    # Arrow from the back key round to the front key.
    c.rect(k(22), k(4), k(27), k(6), GREEN)
    c.rect(k(25), k(4), k(27), k(10), GREEN)
    c.rect(k(23), k(9), k(29), k(11), GREEN)
    c.rect(k(24), k(11), k(28), k(12), GREEN)
    return c


def ime_icon(size, ch, colour):
    c = Canvas(size)
    c.rect(0, 0, size, size, BLACK)
    c.rect(1, 1, size - 1, size - 1, colour)
    c.frame(1, 1, size - 1, size - 1, WHITE, GREY)
    scale = 4 if size >= 32 else 2
    x0 = (size - 5 * scale) // 2
    y0 = (size - 7 * scale) // 2
    c.letter(ch, x0, y0, scale, WHITE)
    return c


def dib(canvas):
    n = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in VGA)
    xor_rows, and_rows = [], []
    for y in reversed(range(n)):
        row = canvas.px[y]
        nib = [(p if p is not None else 0) for p in row]
        data = bytes((nib[x] << 4) | nib[x + 1] for x in range(0, n, 2))
        xor_rows.append(data + b"\0" * ((4 - len(data) % 4) % 4))
        bits = 0
        mask = bytearray()
        for x in range(n):
            bits = (bits << 1) | (1 if row[x] is None else 0)
            if x % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b"\0" * ((4 - len(mask) % 4) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def write_icon(path, canvases):
    images = [dib(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size % 256, c.size % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_shadow(path):
    """8 x 8, 1 bit per pixel, index 0 black and 1 white, rows 0xAA / 0x55."""
    rows = b"".join(struct.pack("B3x", 0xAA if y % 2 == 0 else 0x55) for y in range(8))
    info = struct.pack("<IiiHHIIiiII", 40, 8, 8, 1, 1, 0, len(rows), 0, 0, 2, 2)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette + rows)


def main(argv):
    if len(argv) == 3 and argv[1] == "--ime":
        os.makedirs(argv[2], exist_ok=True)
        for ch, colour in zip("ABCD", (BLUE, RED, GREEN, PURPLE)):
            write_icon(os.path.join(argv[2], f"ime_{ch.lower()}.ico"),
                       [ime_icon(32, ch, colour), ime_icon(16, ch, colour)])
        return 0
    if len(argv) == 2:
        os.makedirs(argv[1], exist_ok=True)
        write_icon(os.path.join(argv[1], "kelvo.ico"), [kelvo_icon(32), kelvo_icon(16)])
        write_shadow(os.path.join(argv[1], "shadowptn.bmp"))
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
