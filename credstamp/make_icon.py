#!/usr/bin/env python3
"""Draws the credential tool's icon: a gold key on a blue badge.

Writes credstamp.ico with three images: 32x32 in 256 colours, 16x16 in 16
colours and 32x32 in 16 colours.  Run from anywhere; the output lands next
to this script.  Only the standard library is used.
"""
import math
import os
import struct

# Regions of the picture, in a unit square with y growing downwards.
TRANSPARENT, BADGE, BADGE_EDGE, KEY, KEY_EDGE, HOLE = range(6)

HEAD = (0.36, 0.37)
SHAFT_END = (0.80, 0.81)


def rounded_rect_distance(x, y, lo, hi, radius):
    """Signed distance to a rounded square (negative inside)."""
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return math.hypot(x - cx, y - cy) - radius


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def key_distance(x, y, grow):
    """How far outside the key the point lies (<= 0 inside); grow widens it."""
    head = math.hypot(x - HEAD[0], y - HEAD[1]) - (0.22 + grow)
    hole = 0.095 - grow - math.hypot(x - HEAD[0], y - HEAD[1])
    ring = max(head, hole)
    ux, uy = (SHAFT_END[0] - HEAD[0]), (SHAFT_END[1] - HEAD[1])
    length = math.hypot(ux, uy)
    ux, uy = ux / length, uy / length
    # The shaft starts at the ring, so the hole stays open.
    start = (HEAD[0] + ux * 0.19, HEAD[1] + uy * 0.19)
    shaft = segment_distance(x, y, start, SHAFT_END) - (0.055 + grow)
    # Two teeth at right angles to the shaft, on its lower left side.
    px, py = -uy, ux
    teeth = 1.0
    for along in (0.74, 0.93):
        sx = HEAD[0] + ux * length * along
        sy = HEAD[1] + uy * length * along
        tip = (sx + px * 0.15, sy + py * 0.15)
        teeth = min(teeth, segment_distance(x, y, (sx, sy), tip) - (0.04 + grow))
    return min(ring, shaft, teeth)


def region(x, y):
    badge = rounded_rect_distance(x, y, 0.03, 0.97, 0.18)
    if badge > 0:
        return TRANSPARENT
    if key_distance(x, y, 0.0) <= 0:
        return KEY
    if key_distance(x, y, 0.035) <= 0:
        return KEY_EDGE
    if badge > -0.06:
        return BADGE_EDGE
    return BADGE


def colour_256(label, x, y):
    """True colours of the 256-colour image, with gentle shading."""
    if label == BADGE:
        shade = 1.0 - 0.45 * y
        return (int(40 * shade), int(100 * shade), int(215 * shade))
    if label == BADGE_EDGE:
        return (18, 40, 110)
    if label == KEY:
        shade = 1.0 - 0.35 * (x + y) / 2
        return (int(250 * shade), int(205 * shade), int(60 * shade))
    if label == KEY_EDGE:
        return (120, 80, 10)
    return (0, 0, 0)


VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
INDEX_16 = {TRANSPARENT: 0, BADGE: 12, BADGE_EDGE: 4, KEY: 11, KEY_EDGE: 3}


def palette_256():
    """A 6x6x6 colour cube, then ramps of the badge and key shades: 256."""
    levels = [0, 51, 102, 153, 204, 255]
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    for i in range(20):
        colours.append(colour_256(BADGE, 0.5, i / 19))
        colours.append(colour_256(KEY, i / 19, i / 19))
    return colours


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][c] - colour[c]) ** 2 for c in range(3)))


def image_256(size):
    palette = palette_256()
    cache = {}
    pixels, mask = [], []
    sub = 4
    for row in range(size):
        for col in range(size):
            inside = 0
            total = [0, 0, 0]
            for sy in range(sub):
                for sx in range(sub):
                    x = (col + (sx + 0.5) / sub) / size
                    y = (row + (sy + 0.5) / sub) / size
                    label = region(x, y)
                    if label != TRANSPARENT:
                        inside += 1
                        c = colour_256(label, x, y)
                        total = [total[i] + c[i] for i in range(3)]
            if inside * 2 < sub * sub:
                pixels.append(0)
                mask.append(1)
                continue
            colour = tuple(t // inside for t in total)
            if colour not in cache:
                cache[colour] = nearest(palette, colour)
            pixels.append(cache[colour])
            mask.append(0)
    return palette, 8, pixels, mask


def image_16(size):
    pixels, mask = [], []
    for row in range(size):
        for col in range(size):
            label = region((col + 0.5) / size, (row + 0.5) / size)
            pixels.append(INDEX_16[label])
            mask.append(1 if label == TRANSPARENT else 0)
    return VGA16, 4, pixels, mask


def pack_rows(values, size, bits):
    """Bottom-up rows of `bits`-bit values, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(range(size)):
        acc, nbits, line = 0, 0, bytearray()
        for col in range(size):
            acc = (acc << bits) | values[row * size + col]
            nbits += bits
            if nbits == 8:
                line.append(acc)
                acc, nbits = 0, 0
        if nbits:
            line.append(acc << (8 - nbits))
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def dib(size, image):
    palette, bits, pixels, mask = image
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + colours + pack_rows(pixels, size, bits) + pack_rows(mask, size, 1)


def main():
    images = [(32, 0, dib(32, image_256(32))),
              (16, 16, dib(16, image_16(16))),
              (32, 16, dib(32, image_16(32)))]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b'', b''
    for size, colour_count, blob in images:
        bits = 8 if colour_count == 0 else 4
        entries += struct.pack('<BBBBHHII', size, size, colour_count, 0, 1, bits, len(blob),
                               offset)
        offset += len(blob)
        blobs += blob
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'credstamp.ico')
    with open(path, 'wb') as out:
        out.write(data + entries + blobs)


if __name__ == '__main__':
    main()
