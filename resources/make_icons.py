#!/usr/bin/env python3
"""Draws the eight window icons of Tandrel as XPM files.

The picture is a small datapath: an ALU between two pipeline registers (at
32 and 48 pixels), its two operands arriving on wires in the first two stage
colours and its result leaving in the fourth, on a light tile. Every size is drawn from the same
shapes with 8 x 8 samples per pixel; a pixel is transparent ("None") when
less than half of it is covered. The second icon of each size is the first
one in a darker shade.

For the desktop (menus, file managers, software centres) it also writes the
light icon as tandrel<size>.png at 128 and 256 pixels, with the coverage as
alpha, and the same shapes as the scalable tandrel.svg.

Run it from anywhere; it rewrites those files beside itself:
    python3 resources/make_icons.py
"""

import math
import os
import struct
import zlib

SIZES = (48, 32, 24, 16)
PNG_SIZES = (128, 256)
SAMPLES = 8
DARKER = 0.78  # shade of the second icon of each size

# Colours of the drawing (the program's default colours).
TILE_LIGHT = (250, 248, 238)
TILE_DARK = (222, 218, 196)
OUTLINE = (40, 40, 48)
COMPONENT = (191, 191, 153)
FADE = (255, 255, 255)
PIPE_REG = (191, 153, 153)
STAGE1 = (230, 0, 0)
STAGE2 = (0, 170, 0)
STAGE4 = (0, 0, 230)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def inside_polygon(x, y, points):
    hit = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                hit = not hit
    return hit


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    px, py = ax + t * dx, ay + t * dy
    return math.hypot(x - px, y - py)


def outline_distance(x, y, points):
    n = len(points)
    return min(segment_distance(x, y, points[i], points[(i + 1) % n]) for i in range(n))


def rounded_box_distance(x, y, left, top, right, bottom, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def gradient(fill, x, y, box):
    """Fade at the lower left, the fill colour at the upper right."""
    left, top, right, bottom = box
    t = ((x - left) / (right - left) + (bottom - y) / (bottom - top)) / 2
    return mix(FADE, fill, max(0.0, min(1.0, t)))


def picture(size):
    """The layers, in painting order: (test(x, y) -> colour or None)."""
    # Lines get thicker, relative to the tile, as the icon gets smaller, so
    # that every part stays at least about a pixel wide.
    line = max(0.035, 1.1 / size)
    wire = max(0.055, 1.5 / size)
    edge = max(0.03, 0.9 / size)

    tile = (0.03, 0.03, 0.97, 0.97)
    # Below 32 pixels the registers would be mere dark lines: the ALU and its
    # wires fill the tile alone.
    registers = size >= 32
    reg_left = (0.10, 0.18, 0.22, 0.82)
    reg_right = (0.78, 0.18, 0.90, 0.82)
    alu_box = (0.36, 0.14, 0.64, 0.86) if registers else (0.32, 0.12, 0.72, 0.88)
    wire_from = reg_left[2] if registers else 0.06
    wire_to = reg_right[0] if registers else 0.94
    l, t, r, b = alu_box
    w, h = r - l, b - t
    # The ALU as the drawing shows it: a notched wedge pointing right.
    alu = [(l + w * px, b - h * py) for px, py in
           [(0, 0), (1, 0.33), (1, 0.67), (0, 1), (0, 0.67), (0.45, 0.5), (0, 0.33)]]
    upper_in = b - h * 0.835
    lower_in = b - h * 0.165
    wires = [
        (STAGE1, [(wire_from, upper_in), (l, upper_in)]),
        (STAGE2, [(wire_from, lower_in), (l, lower_in)]),
        (STAGE4, [(r, 0.5), (wire_to, 0.5)]),
    ]

    def tile_layer(x, y):
        d = rounded_box_distance(x, y, *tile, 0.16)
        if d > 0:
            return None
        if d > -edge:
            return OUTLINE
        return mix(TILE_LIGHT, TILE_DARK, (y - tile[1]) / (tile[3] - tile[1]))

    def box_layer(box, fill):
        corners = [(box[0], box[1]), (box[2], box[1]), (box[2], box[3]), (box[0], box[3])]

        def layer(x, y):
            if outline_distance(x, y, corners) <= line / 2:
                return OUTLINE
            if box[0] <= x <= box[2] and box[1] <= y <= box[3]:
                return gradient(fill, x, y, box)
            return None

        return layer

    def alu_layer(x, y):
        if outline_distance(x, y, alu) <= line / 2:
            return OUTLINE
        if inside_polygon(x, y, alu):
            return gradient(COMPONENT, x, y, alu_box)
        return None

    def wire_layer(colour, path):
        def layer(x, y):
            for i in range(len(path) - 1):
                if segment_distance(x, y, path[i], path[i + 1]) <= wire / 2:
                    return colour
            return None

        return layer

    layers = [tile_layer]
    layers += [wire_layer(colour, path) for colour, path in wires]
    if registers:
        layers += [box_layer(reg_left, PIPE_REG), box_layer(reg_right, PIPE_REG)]
    layers.append(alu_layer)
    return layers


def render(size, samples=SAMPLES, alpha=False):
    """Rows of pixels: None where transparent; with alpha, (r, g, b, a)
    with the covered share of the pixel as a."""
    SAMPLES = samples
    layers = picture(size)
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for layer in layers:
                        c = layer(x, y)
                        if c is not None:
                            colour = c
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if alpha:
                average = [v / covered for v in total] if covered else [0, 0, 0]
                row.append(tuple(int(round(v)) for v in average) +
                           (int(round(255 * covered / (SAMPLES * SAMPLES))),))
            elif covered * 2 < SAMPLES * SAMPLES:
                row.append(None)
            else:
                row.append(tuple(int(round(v / covered)) for v in total))
        pixels.append(row)
    return pixels


def shaded(pixels, factor):
    return [[None if p is None else tuple(int(round(v * factor)) for v in p) for p in row]
            for row in pixels]


# Two printable characters per pixel; '"' and '\\' would need escaping.
CODE_CHARS = [chr(c) for c in range(35, 127) if chr(c) not in '"\\']


def code(n):
    return CODE_CHARS[n // len(CODE_CHARS)] + CODE_CHARS[n % len(CODE_CHARS)]


def write_xpm(path, name, pixels):
    size = len(pixels)
    colours = sorted({p for row in pixels for p in row if p is not None})
    codes = {colour: code(i + 1) for i, colour in enumerate(colours)}
    lines = ['/* XPM */', 'static const char* const %s[] = {' % name,
             '"%d %d %d 2",' % (size, size, len(colours) + 1), '"%s c None",' % code(0)]
    for colour in colours:
        lines.append('"%s c #%02X%02X%02X",' % ((codes[colour],) + colour))
    body = ['"' + ''.join(code(0) if p is None else codes[p] for p in row) + '"' for row in pixels]
    lines.append(',\n'.join(body))
    lines.append('};')
    with open(path, 'w') as out:
        out.write('\n'.join(lines) + '\n')


def write_png(path, pixels):
    """RGBA rows as a PNG file (no library needed)."""
    size = len(pixels)
    raw = b''.join(b'\x00' + bytes(v for p in row for v in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n')
        out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)))
        out.write(chunk(b'IDAT', zlib.compress(raw, 9)))
        out.write(chunk(b'IEND', b''))


def hex_colour(colour):
    return '#%02x%02x%02x' % tuple(int(round(v)) for v in colour)


def svg(size=256):
    """The large icon's shapes in a size x size view box."""
    line, wire = 0.035 * size, 0.055 * size
    S = lambda v: round(v * size, 2)
    l, t, r, b = 0.36, 0.14, 0.64, 0.86
    w, h = r - l, b - t
    alu = [(l + w * px, b - h * py) for px, py in
           [(0, 0), (1, 0.33), (1, 0.67), (0, 1), (0, 0.67), (0.45, 0.5), (0, 0.33)]]
    upper_in, lower_in = b - h * 0.835, b - h * 0.165

    # Flat fills (the middle of each gradient of the small icons), so that
    # every SVG renderer shows the same picture.
    tile_fill = hex_colour(mix(TILE_LIGHT, TILE_DARK, 0.5))
    component_fill = hex_colour(mix(FADE, COMPONENT, 0.6))
    register_fill = hex_colour(mix(FADE, PIPE_REG, 0.6))

    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
        % (size, size, size, size),
        '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="%s" stroke="%s" '
        'stroke-width="%s"/>' % (S(0.03 + 0.015), S(0.03 + 0.015), S(0.94 - 0.03),
                                 S(0.94 - 0.03), S(0.16), tile_fill, hex_colour(OUTLINE),
                                 S(0.03)),
    ]
    for colour, (x1, y1, x2, y2) in ((STAGE1, (0.22, upper_in, l, upper_in)),
                                     (STAGE2, (0.22, lower_in, l, lower_in)),
                                     (STAGE4, (r, 0.5, 0.78, 0.5))):
        parts.append('<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"/>'
                     % (S(x1), S(y1), S(x2), S(y2), hex_colour(colour), round(wire, 2)))
    for box in ((0.10, 0.18, 0.22, 0.82), (0.78, 0.18, 0.90, 0.82)):
        parts.append('<rect x="%s" y="%s" width="%s" height="%s" fill="%s" '
                     'stroke="%s" stroke-width="%s"/>'
                     % (S(box[0]), S(box[1]), S(box[2] - box[0]), S(box[3] - box[1]),
                        register_fill, hex_colour(OUTLINE), round(line, 2)))
    parts.append('<polygon points="%s" fill="%s" stroke="%s" stroke-width="%s" '
                 'stroke-linejoin="round"/>'
                 % (' '.join('%s,%s' % (S(x), S(y)) for x, y in alu), component_fill,
                    hex_colour(OUTLINE),
                    round(line, 2)))
    parts.append('</svg>')
    return '\n'.join(parts) + '\n'


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for size in SIZES:
        light = render(size)
        for suffix, pixels in (('a', light), ('b', shaded(light, DARKER))):
            name = 'tandrel%d%s' % (size, suffix)
            write_xpm(os.path.join(here, name + '.xpm'), name + '_xpm', pixels)
    for size in PNG_SIZES:
        write_png(os.path.join(here, 'tandrel%d.png' % size), render(size, 4, alpha=True))
    with open(os.path.join(here, 'tandrel.svg'), 'w') as out:
        out.write(svg())


if __name__ == '__main__':
    main()
