#!/usr/bin/env python3
"""Draws the installer's icon 101: a crate with a green arrow into it, as a
16-colour icon with a 32x32 and a 16x16 image.  Run: make_icon.py setup.ico"""
import struct
import sys

# The 16 standard colours (blue, green, red, reserved).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # as (r, g, b)
BLACK, DARK_YELLOW, DARK_GREEN, GREEN, YELLOW = 0, 3, 2, 10, 11
TRANSPARENT = None


def draw(size):
    """Rows top to bottom of palette indices, None where transparent."""
    s = size / 32.0
    px = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    # Crate: dark outline, yellow boards, dark slats.
    rect(3, 14, 29, 31, BLACK)
    rect(4, 15, 28, 30, YELLOW)
    for y in (19, 24):
        rect(4, y, 28, y + 1, DARK_YELLOW)
    rect(9, 15, 10, 30, DARK_YELLOW)
    rect(22, 15, 23, 30, DARK_YELLOW)
    # Arrow pointing down into the crate.
    rect(13, 1, 19, 12, BLACK)
    rect(14, 1, 18, 12, GREEN)
    for i in range(6):
        rect(8 + i, 10 + i, 24 - i, 11 + i, GREEN if 0 < i < 5 else DARK_GREEN)
    return px


def image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(px):  # bottom-up
        nibbles = [0 if c is None else c for c in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(data + b'\0' * (-len(data) % 4))
        bits = 0
        mask = bytearray()
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b'\0' * (-len(mask) % 4))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def main():
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
