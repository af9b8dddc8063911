#!/usr/bin/env python3
"""Draws the program icon, a hard disk with a curved arrow coming back into
it, and writes it as corvane.ico: one 48x48 image, 32 bits per pixel with
straight alpha, plus the 1-bit AND mask that older readers use.

    python3 res/draw_icon.py [OUT.ico] [--preview OUT.png]

The build does not run this; the .ico beside it is committed.
"""
import math
import os
import struct
import sys
import zlib

SIZE = 48
SAMPLES = 4  # per axis, per pixel, for the antialiased edges


# --- Shapes, as signed distances: negative inside, positive outside. ------

def rounded_box(cx, cy, half_w, half_h, radius):
    def sdf(x, y):
        qx = abs(x - cx) - half_w + radius
        qy = abs(y - cy) - half_h + radius
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def circle(cx, cy, radius):
    return lambda x, y: math.hypot(x - cx, y - cy) - radius


def arc_band(cx, cy, radius, width, start_deg, end_deg):
    """A stroke of the given width along a circle, clockwise on screen from
    start to end (degrees, 0 = right, 90 = up), with round caps."""
    start, end = math.radians(start_deg), math.radians(end_deg)
    span = (start - end) % (2 * math.pi)
    ends = [(cx + radius * math.cos(a), cy - radius * math.sin(a)) for a in (start, end)]

    def sdf(x, y):
        angle = math.atan2(cy - y, x - cx)
        if (start - angle) % (2 * math.pi) <= span:
            return abs(math.hypot(x - cx, y - cy) - radius) - width / 2
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2
    return sdf


def triangle(a, b, c):
    corners = [a, b, c]
    area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])
    sign = 1.0 if area > 0 else -1.0

    def sdf(x, y):
        worst = -1e9
        for (px, py), (qx, qy) in zip(corners, corners[1:] + corners[:1]):
            ex, ey = qx - px, qy - py
            # distance to the edge's line, positive on the outer side
            worst = max(worst, sign * ((x - px) * ey - (y - py) * ex) / math.hypot(ex, ey))
        return worst
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def grown(shape, by):
    return lambda x, y: shape(x, y) - by


def inside_band(shape, y0, y1):
    return lambda x, y: max(shape(x, y), y0 - y, y - y1)


# --- Paint: colours as functions of the pixel centre. ---------------------

def rgb(hex_text, alpha=1.0):
    value = int(hex_text.lstrip("#"), 16)
    return ((value >> 16) / 255, ((value >> 8) & 255) / 255, (value & 255) / 255, alpha)


def solid(colour):
    return lambda x, y: colour


def vertical(top_y, top, bottom_y, bottom):
    def paint(x, y):
        t = min(max((y - top_y) / (bottom_y - top_y), 0.0), 1.0)
        return tuple(p + (q - p) * t for p, q in zip(top, bottom))
    return paint


def coverage(shape, px, py):
    step = 1.0 / SAMPLES
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            if shape(px + (sx + 0.5) * step, py + (sy + 0.5) * step) <= 0:
                hits += 1
    return hits / (SAMPLES * SAMPLES)


def soft(shape, blur, strength):
    """A shadow: alpha falls off smoothly over blur pixels outside shape."""
    def alpha(px, py):
        d = shape(px + 0.5, py + 0.5)
        t = min(max(0.5 - d / blur, 0.0), 1.0)
        return strength * t * t * (3 - 2 * t)
    return alpha


# --- The picture. ---------------------------------------------------------

def clipped_below(shape, y0):
    return lambda x, y: max(shape(x, y), y0 - y)


def drawn_arrow(shape, from_y=-99):
    """The arrow's layers below from_y: a light halo that parts it from what
    lies behind, a dark rim, the blue fill."""
    return [
        (clipped_below(grown(shape, 1.3), from_y), solid(rgb("#ffffff"))),
        (clipped_below(grown(shape, 0.6), from_y), solid(rgb("#123f7f"))),
        (clipped_below(shape, from_y), vertical(9, rgb("#5aa9ff"), 34, rgb("#1c5fc4"))),
    ]


def layers():
    # The copy arrow leaves the drive from behind on the left, arcs over it,
    # and comes down into it on the right, its head in front of the drive.
    arc = arc_band(24, 25, 14.5, 5.0, 200, 0)
    head = triangle((32.0, 24.0), (45.0, 24.0), (38.5, 34.0))
    arrow = union(arc, head)

    # The drive: a box seen slightly from above, its top face lighter than
    # its front, with a green activity light and a slot on the front.
    body = rounded_box(24, 36.5, 21, 8.5, 3.5)
    front = inside_band(grown(body, -1.0), 33.0, 99)
    top_face = inside_band(grown(body, -1.0), -99, 33.0)
    light = circle(9.5, 39.5, 1.9)
    slot = rounded_box(26, 39.5, 12, 0.9, 0.9)

    return (drawn_arrow(arrow) + [
        (inside_band(arc, 0, 13.5), solid(rgb("#ffffff", 0.28))),  # gloss on the top of the arc
        (body, solid(rgb("#3f4650"))),
        (top_face, vertical(28, rgb("#f4f6f9"), 33, rgb("#cdd3db"))),
        (front, vertical(33, rgb("#aab2bd"), 45, rgb("#7c8591"))),
        (inside_band(grown(body, -1.0), 32.6, 33.4), solid(rgb("#ffffff", 0.55))),
        (slot, solid(rgb("#3a414a"))),
        (grown(light, 1.6), solid(rgb("#5dff72", 0.30))),
        (light, vertical(37.6, rgb("#b8ffbf"), 41.4, rgb("#1fae35"))),
    ] + drawn_arrow(head, 27.0))


def shadow():
    """A soft shadow on the ground under the drive."""
    return soft(rounded_box(24, 45.0, 19, 1.8, 1.8), 2.5, 0.35)


def render():
    """Returns rows top to bottom of (r, g, b, a) floats, straight alpha."""
    pixels = [[(0.0, 0.0, 0.0, 0.0)] * SIZE for _ in range(SIZE)]
    for shape, paint in layers():
        for py in range(SIZE):
            for px in range(SIZE):
                cover = coverage(shape, px, py)
                if cover > 0:
                    pixels[py][px] = over(pixels[py][px], paint(px + 0.5, py + 0.5), cover)
    ground = shadow()
    for py in range(SIZE):
        for px in range(SIZE):
            pixels[py][px] = under(pixels[py][px], (0.0, 0.0, 0.0, ground(px, py)))
    return pixels


def over(dst, src, cover):
    sa = src[3] * cover
    da = dst[3]
    out_a = sa + da * (1 - sa)
    if out_a == 0:
        return (0.0, 0.0, 0.0, 0.0)
    channels = [(src[i] * sa + dst[i] * da * (1 - sa)) / out_a for i in range(3)]
    return (*channels, out_a)


def under(dst, src):
    return over(src, dst, 1.0)


def to_byte(value):
    return max(0, min(255, int(round(value * 255))))


# --- Files. ---------------------------------------------------------------

def ico_bytes(pixels):
    xor_rows = []
    and_rows = []
    mask_stride = ((SIZE + 31) // 32) * 4
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        mask = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            line += bytes((to_byte(b), to_byte(g), to_byte(r), to_byte(a)))
            if to_byte(a) < 128:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(line))
        and_rows.append(bytes(mask))
    image_data = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(image_data), 0, 0, 0, 0)
    image = header + image_data
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def png_bytes(pixels, scale):
    """The icon scaled up on a checkerboard, so the edges can be judged."""
    raw = bytearray()
    for y in range(SIZE * scale):
        raw.append(0)
        for x in range(SIZE * scale):
            r, g, b, a = pixels[y // scale][x // scale]
            check = 0.93 if ((x // 12) + (y // 12)) % 2 else 0.80
            raw += bytes(to_byte(c * a + check * (1 - a)) for c in (r, g, b))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    side = SIZE * scale
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main(argv):
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corvane.ico")
    preview = None
    args = list(argv)
    if "--preview" in args:
        at = args.index("--preview")
        preview = args[at + 1]
        del args[at:at + 2]
    if args:
        out = args[0]
    pixels = render()
    with open(out, "wb") as f:
        f.write(ico_bytes(pixels))
    if preview:
        with open(preview, "wb") as f:
            f.write(png_bytes(pixels, 8))


if __name__ == "__main__":
    main(sys.argv[1:])
