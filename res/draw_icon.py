#!/usr/bin/env python3
"""Draws the program icon, a hard disk with a curved arrow coming back into
it, and writes it

- as corvane.ico: one 48x48 image, 32 bits per pixel with straight alpha,
  plus the 1-bit AND mask that older readers use;
- as icons/corvane-48.png, -32.png and -16.png, RGBA, for the desktop's icon
  theme. Each size is drawn at its own size: the same shapes, sampled as
  finely per unit of the picture as the 48x48 image is, with the thin lines
  kept about a pixel wide and the drive's slot and light on a pixel row.
  The 48x48 PNG holds the very pixels of the .ico.

    python3 res/draw_icon.py [--out DIR] [--preview OUT.png]

DIR is the folder beside this script unless given. The build does not run
this; the files it writes there are committed.
"""
import math
import os
import struct
import sys
import zlib

SIZE = 48     # the picture's own size: every coordinate below is on this grid
SAMPLES = 4   # per axis, per pixel of the 48x48 image, for the antialiased edges
PNG_SIZES = (48, 32, 16)


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


class Grid:
    """The pixels of an image of the given size laid over the picture: pixel
    (px, py) covers scale x scale units of it, sampled samples x samples
    times. At 48 the scale is exactly 1 and the samples are SAMPLES: every
    sample falls on the same point of the picture at every size."""

    def __init__(self, size):
        if (SAMPLES * SIZE) % size:
            raise ValueError(f"{size}x{size}: {SAMPLES * SIZE} samples do not divide into {size} pixels")
        self.size = size
        self.scale = SIZE / size
        self.samples = SAMPLES * SIZE // size

    def centre(self, px, py):
        return (px + 0.5) * self.scale, (py + 0.5) * self.scale

    def coverage(self, shape, px, py):
        step = 1.0 / self.samples
        hits = 0
        for sy in range(self.samples):
            for sx in range(self.samples):
                if shape((px + (sx + 0.5) * step) * self.scale, (py + (sy + 0.5) * step) * self.scale) <= 0:
                    hits += 1
        return hits / (self.samples * self.samples)


def soft(shape, blur, strength):
    """A shadow: alpha falls off smoothly over blur units outside shape,
    taken at the point (x, y) of the picture."""
    def alpha(x, y):
        d = shape(x, y)
        t = min(max(0.5 - d / blur, 0.0), 1.0)
        return strength * t * t * (3 - 2 * t)
    return alpha


# --- The picture. ---------------------------------------------------------

def clipped_below(shape, y0):
    return lambda x, y: max(shape(x, y), y0 - y)


def drawn_arrow(shape, unit, from_y=-99):
    """The arrow's layers below from_y: a light halo that parts it from what
    lies behind, a dark rim, the blue fill."""
    return [
        (clipped_below(grown(shape, at_least(1.3, 1.0, unit)), from_y), solid(rgb("#ffffff"))),
        (clipped_below(grown(shape, at_least(0.6, 0.6, unit)), from_y), solid(rgb("#123f7f"))),
        (clipped_below(shape, from_y), vertical(9, rgb("#5aa9ff"), 34, rgb("#1c5fc4"))),
    ]


# Drawn small, a pixel spans unit > 1 units of the picture. Lines and dots
# then keep at least a given width in pixels, and the drive's slot and
# light sit on a row of pixels instead of smearing over two. At 48 (unit 1)
# both leave every value as it is.

def at_least(units, pixels, unit):
    return max(units, pixels * unit)


def on_pixel(value, unit):
    """value moved to the nearest pixel centre."""
    return (round(value / unit - 0.5) + 0.5) * unit


def layers(unit=1.0):
    # The copy arrow leaves the drive from behind on the left, arcs over it,
    # and comes down into it on the right, its head in front of the drive.
    arc = arc_band(24, 25, 14.5, 5.0, 200, 0)
    head = triangle((32.0, 24.0), (45.0, 24.0), (38.5, 34.0))
    arrow = union(arc, head)

    # The drive: a box seen slightly from above, its top face lighter than
    # its front, with a green activity light and a slot on the front.
    body = rounded_box(24, 36.5, 21, 8.5, 3.5)
    inner = grown(body, -at_least(1.0, 0.6, unit))
    front = inside_band(inner, 33.0, 99)
    top_face = inside_band(inner, -99, 33.0)
    row = on_pixel(39.5, unit)
    light = circle(on_pixel(9.5, unit), row, at_least(1.9, 0.75, unit))
    half_slot = at_least(0.9, 0.5, unit)
    slot = rounded_box(26, row, 12, half_slot, half_slot)

    return (drawn_arrow(arrow, unit) + [
        (inside_band(arc, 0, 13.5), solid(rgb("#ffffff", 0.28))),  # gloss on the top of the arc
        (body, solid(rgb("#3f4650"))),
        (top_face, vertical(28, rgb("#f4f6f9"), 33, rgb("#cdd3db"))),
        (front, vertical(33, rgb("#aab2bd"), 45, rgb("#7c8591"))),
        (inside_band(inner, 32.6, 33.4), solid(rgb("#ffffff", 0.55))),
        (slot, solid(rgb("#3a414a"))),
        (grown(light, 1.6), solid(rgb("#5dff72", 0.30))),
        (light, vertical(37.6, rgb("#b8ffbf"), 41.4, rgb("#1fae35"))),
    ] + drawn_arrow(head, unit, 27.0))


def shadow():
    """A soft shadow on the ground under the drive."""
    return soft(rounded_box(24, 45.0, 19, 1.8, 1.8), 2.5, 0.35)


def render(size=SIZE):
    """Returns rows top to bottom of (r, g, b, a) floats, straight alpha, of
    the picture drawn size x size pixels."""
    grid = Grid(size)
    pixels = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]
    for shape, paint in layers(grid.scale):
        for py in range(size):
            for px in range(size):
                cover = grid.coverage(shape, px, py)
                if cover > 0:
                    pixels[py][px] = over(pixels[py][px], paint(*grid.centre(px, py)), cover)
    ground = shadow()
    for py in range(size):
        for px in range(size):
            pixels[py][px] = under(pixels[py][px], (0.0, 0.0, 0.0, ground(*grid.centre(px, py))))
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


def png_file(width, height, colour_type, rows):
    """A PNG of 8-bit samples: colour_type 2 is RGB, 6 is RGBA with straight
    alpha. rows are the bytes of each row, top to bottom."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(row) for row in rows)  # filter 0 on every row
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def png_bytes(pixels):
    """The image as it is, RGBA, for the icon theme."""
    rows = [b"".join(bytes(to_byte(c) for c in pixel) for pixel in row) for row in pixels]
    return png_file(len(pixels[0]), len(pixels), 6, rows)


def preview_bytes(pixels, scale):
    """The image scaled up on a checkerboard, so the edges can be judged."""
    side = len(pixels) * scale
    rows = []
    for y in range(side):
        row = bytearray()
        for x in range(side):
            r, g, b, a = pixels[y // scale][x // scale]
            check = 0.93 if ((x // 12) + (y // 12)) % 2 else 0.80
            row += bytes(to_byte(c * a + check * (1 - a)) for c in (r, g, b))
        rows.append(row)
    return png_file(side, side, 2, rows)


def main(argv):
    out = os.path.dirname(os.path.abspath(__file__))
    preview = None
    args = list(argv)
    for option in ("--out", "--preview"):
        if option in args:
            at = args.index(option)
            if at + 1 == len(args):
                sys.exit(f"{option} needs a value")
            value = args[at + 1]
            del args[at:at + 2]
            if option == "--out":
                out = value
            else:
                preview = value
    if args:
        sys.exit(__doc__)

    images = {size: render(size) for size in PNG_SIZES}
    with open(os.path.join(out, "corvane.ico"), "wb") as f:
        f.write(ico_bytes(images[SIZE]))
    os.makedirs(os.path.join(out, "icons"), exist_ok=True)
    for size, pixels in images.items():
        with open(os.path.join(out, "icons", f"corvane-{size}.png"), "wb") as f:
            f.write(png_bytes(pixels))
    if preview:
        with open(preview, "wb") as f:
            f.write(preview_bytes(images[SIZE], 8))


if __name__ == "__main__":
    main(sys.argv[1:])
