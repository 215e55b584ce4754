#!/usr/bin/env python3
"""Writes the skin pictures and icons of QOVIPWDBankSet.exe.

    python3 tools/skin/make_skin.py [output folder]

The default output folder is QOVIPWDBankSet/res/skin beside this script's
repository root. Everything is drawn from code with the standard library
only (zlib, struct), so the output is the same bytes on every run and on
every machine: the PNGs and icons are committed together with this script.

Files written (resource IDs in res/resource.h):
  background.png            501 and 505: the 515 x 419 window background
  button_normal/hover/pressed.png   502-504 and 506-508: 67 x 21 large buttons
  small_normal/hover/pressed.png    509-511: 64 x 25 list buttons
  help.png                  512: 20 x 20 help icon
  app_large.ico             icon group 12: 32 x 32 and 48 x 48
  app_small.ico             icon group 13: 16 x 16 and 24 x 24

505 and 506-508 are the same files as 501 and 502-504 (the .rc names the
same file twice), so they are byte-identical by construction.
"""

import math
import os
import struct
import sys
import zlib

# --------------------------------------------------------------- colours --

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
HEADER_BAND = (233, 234, 227)      # also the title labels' brush, 0xE3EAE9
BLUE_BAND = (112, 216, 250)
LINE_GREY = (204, 204, 204)
SEPARATOR_GREY = (170, 170, 170)
DARK_GREY = (68, 68, 68)
SMALL_BORDER = (125, 125, 125)
SUITE_BLUE_TOP = (64, 156, 232)    # the suite's blue, lit from above
SUITE_BLUE_BOTTOM = (16, 84, 170)


def mix(a, b, t):
    """Colour between a (t = 0) and b (t = 1), rounded per channel."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


# ---------------------------------------------------------------- canvas --

class Canvas:
    """An RGBA picture, rows top to bottom, each a bytearray of 4 * width."""

    def __init__(self, width, height, colour=(0, 0, 0), alpha=0):
        self.width = width
        self.height = height
        pixel = bytes((*colour, alpha))
        self.rows = [bytearray(pixel * width) for _ in range(height)]

    def fill_row(self, y, colour, alpha=255, x0=0, x1=None):
        x1 = self.width if x1 is None else x1
        self.rows[y][4 * x0:4 * x1] = bytes((*colour, alpha)) * (x1 - x0)

    def put(self, x, y, colour, alpha=255):
        self.rows[y][4 * x:4 * x + 4] = bytes((*colour, alpha))

    def get(self, x, y):
        return tuple(self.rows[y][4 * x:4 * x + 4])

    def blend(self, x, y, colour, coverage):
        """Paints colour over the pixel with the given coverage (0..1),
        "over" compositing so that transparent ground stays clean."""
        if coverage <= 0.0:
            return
        r, g, b, a = self.get(x, y)
        src_a = min(coverage, 1.0)
        dst_a = a / 255.0
        out_a = src_a + dst_a * (1.0 - src_a)
        if out_a <= 0.0:
            return
        out = tuple(
            (c_src * src_a + c_dst * dst_a * (1.0 - src_a)) / out_a
            for c_src, c_dst in zip(colour, (r, g, b)))
        self.put(x, y, tuple(int(round(c)) for c in out), int(round(out_a * 255)))

    def paint(self, x0, y0, x1, y1, shader, samples=4):
        """Antialiased drawing: for each pixel of the box, shader(px, py) at
        samples x samples points gives a colour or None (not covered); the
        average of the covered colours is blended with the covered share."""
        step = 1.0 / samples
        offsets = [(i + 0.5) * step for i in range(samples)]
        total = samples * samples
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                hits = 0
                acc = [0.0, 0.0, 0.0]
                for oy in offsets:
                    for ox in offsets:
                        c = shader(x + ox, y + oy)
                        if c is not None:
                            hits += 1
                            acc[0] += c[0]
                            acc[1] += c[1]
                            acc[2] += c[2]
                if hits:
                    colour = tuple(v / hits for v in acc)
                    self.blend(x, y, colour, hits / total)


# ------------------------------------------------------------ PNG output --

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def filter_rows(canvas):
    """Each row with the PNG filter that leaves the smallest sum of
    magnitudes (the usual heuristic); deterministic by construction."""
    bpp = 4
    out = bytearray()
    previous = bytearray(4 * canvas.width)
    for row in canvas.rows:
        candidates = []
        n = len(row)
        sub = bytearray(n)
        up = bytearray(n)
        avg = bytearray(n)
        paeth = bytearray(n)
        for i in range(n):
            left = row[i - bpp] if i >= bpp else 0
            above = previous[i]
            upper_left = previous[i - bpp] if i >= bpp else 0
            sub[i] = (row[i] - left) & 0xFF
            up[i] = (row[i] - above) & 0xFF
            avg[i] = (row[i] - ((left + above) >> 1)) & 0xFF
            p = left + above - upper_left
            pa, pb, pc = abs(p - left), abs(p - above), abs(p - upper_left)
            predictor = left if pa <= pb and pa <= pc else (above if pb <= pc else upper_left)
            paeth[i] = (row[i] - predictor) & 0xFF
        for kind, data in ((0, row), (1, sub), (2, up), (3, avg), (4, paeth)):
            cost = sum(v if v < 128 else 256 - v for v in data)
            candidates.append((cost, kind, data))
        _, kind, data = min(candidates, key=lambda c: (c[0], c[1]))
        out.append(kind)
        out += data
        previous = row
    return bytes(out)


def png_bytes(canvas):
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    compressor = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_DEFAULT_STRATEGY)
    data = compressor.compress(filter_rows(canvas)) + compressor.flush()
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", data)
            + png_chunk(b"IEND", b""))


# ------------------------------------------------------------ ICO output --

def ico_bytes(canvases):
    """An .ico file with one 32-bit BMP image (with its AND mask) per canvas."""
    images = []
    for c in canvases:
        xor = bytearray()
        for row in reversed(c.rows):           # BMPs are stored bottom-up
            for x in range(c.width):
                r, g, b, a = row[4 * x:4 * x + 4]
                xor += bytes((b, g, r, a))
        mask_stride = ((c.width + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(c.rows):
            bits = bytearray(mask_stride)
            for x in range(c.width):
                if row[4 * x + 3] < 128:        # transparent where alpha is low
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, c.width, 2 * c.height, 1, 32, 0,
                           len(xor) + len(mask), 0, 0, 0, 0)
        images.append((c.width, c.height, info + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return out


# ----------------------------------------------------------------- shapes --

def inside_disc(px, py, cx, cy, r):
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def fingerprint_shader(cx, cy, radius, ridges, ring=True, fill=0.78):
    """A disc in the suite's blue with white fingerprint ridges: concentric
    upright ellipses around a point a little below the centre, each with a
    gap of its own so that they read as ridges rather than as a target."""
    core_x, core_y = cx, cy + radius * 0.12
    spacing = radius * fill / (ridges + 0.5)
    width = spacing * 0.48
    # Gaps (start, end) in degrees, 0 = right, counter-clockwise, screen y down.
    gaps = [(200, 250), (300, 345), (230, 275), (160, 205), (280, 320), (215, 262), (305, 350)]

    def shade(px, py):
        dx, dy = px - cx, py - cy
        d2 = dx * dx + dy * dy
        if d2 > radius * radius:
            return None
        t = max(0.0, min(1.0, (py - (cy - radius)) / (2 * radius)))
        base = mix(SUITE_BLUE_TOP, SUITE_BLUE_BOTTOM, t)
        if ring and d2 > (radius - max(1.0, radius * 0.07)) ** 2:
            return mix(base, WHITE, 0.55)
        ex, ey = (px - core_x) / 0.82, py - core_y
        rho = math.hypot(ex, ey)
        k = int(round(rho / spacing))
        if 1 <= k <= ridges and abs(rho - k * spacing) <= width / 2:
            angle = math.degrees(math.atan2(-ey, ex)) % 360
            g0, g1 = gaps[(k - 1) % len(gaps)]
            if not (g0 <= angle <= g1):
                return WHITE
        if rho <= width * 0.7:
            return WHITE
        return base
    return shade


def stroke_arc_shader(cx, cy, r, start, end, width, colour):
    """A stroked circular arc with round caps; angles in degrees, 0 = right,
    counter-clockwise on screen (y grows downwards), start < end."""
    def endpoint(a):
        return cx + r * math.cos(math.radians(a)), cy - r * math.sin(math.radians(a))
    p0, p1 = endpoint(start), endpoint(end)

    def shade(px, py):
        angle = math.degrees(math.atan2(-(py - cy), px - cx))
        while angle < start:
            angle += 360
        if angle <= end:
            d = abs(math.hypot(px - cx, py - cy) - r)
        else:
            d = min(math.hypot(px - p0[0], py - p0[1]), math.hypot(px - p1[0], py - p1[1]))
        return colour if d <= width / 2 else None
    return shade


def stroke_segment_shader(x0, y0, x1, y1, width, colour):
    def shade(px, py):
        vx, vy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((px - x0) * vx + (py - y0) * vy) / (vx * vx + vy * vy)))
        d = math.hypot(px - (x0 + t * vx), py - (y0 + t * vy))
        return colour if d <= width / 2 else None
    return shade


# --------------------------------------------------------------- pictures --

def background():
    """515 x 419: black strip, header band with the emblem, light blue band,
    white body, footer band for the large buttons, grey bottom gradient."""
    c = Canvas(515, 419)
    bands = [
        (0, 18, BLACK),
        (19, 94, HEADER_BAND),
        (95, 95, SEPARATOR_GREY),
        (96, 129, BLUE_BAND),
        (130, 375, WHITE),
        (376, 376, LINE_GREY),
        (377, 397, HEADER_BAND),
        (398, 398, SEPARATOR_GREY),
        (399, 399, DARK_GREY),
    ]
    for first, last, colour in bands:
        for y in range(first, last + 1):
            c.fill_row(y, colour)
    for y in range(400, 419):
        c.fill_row(y, mix((238, 238, 238), (206, 206, 206), (y - 400) / 18.0))

    # The emblem: a round fingerprint at the left of the header band.
    cx, cy, r = 52.0, 56.5, 30.0
    c.paint(int(cx - r) - 1, int(cy - r) - 1, int(cx + r) + 2, int(cy + r) + 2,
            fingerprint_shader(cx, cy, r, ridges=6), samples=4)

    # The small white mark at the right end of the black strip: a ring and a dot.
    mx, my = 499.5, 9.5
    c.paint(490, 1, 510, 19, stroke_arc_shader(mx, my, 5.0, 0, 360, 1.5, WHITE), samples=4)
    c.paint(490, 1, 510, 19, lambda px, py: WHITE if inside_disc(px, py, mx, my, 1.8) else None)
    return c


def large_button(top, bottom, lower=None):
    """67 x 21 with a 1-pixel dark grey border; the inside is a vertical
    gradient top..bottom, or with lower = (top, bottom) a second gradient
    for the lower half."""
    c = Canvas(67, 21)
    for y in range(21):
        c.fill_row(y, DARK_GREY)
    inner = range(1, 20)
    for y in inner:
        if lower and y >= 10:
            colour = mix(lower[0], lower[1], (y - 10) / 9.0)
        else:
            end = 9 if lower else 19
            colour = mix(top, bottom, (y - 1) / float(end - 1))
        c.fill_row(y, colour, x0=1, x1=66)
    return c


def small_button(top, bottom):
    """64 x 25 with a grey border whose corner pixels are half transparent,
    so the button looks slightly rounded on any ground."""
    c = Canvas(64, 25)
    for y in range(25):
        c.fill_row(y, SMALL_BORDER)
    for y in range(1, 24):
        c.fill_row(y, mix(top, bottom, (y - 1) / 22.0), x0=1, x1=63)
    for x, y in ((0, 0), (63, 0), (0, 24), (63, 24)):
        c.put(x, y, SMALL_BORDER, 128)
    return c


def help_icon():
    """20 x 20: a blue disc with a white question mark, transparent ground."""
    c = Canvas(20, 20)
    top, bottom = (88, 164, 236), (24, 96, 196)

    def disc(px, py):
        if not inside_disc(px, py, 10.0, 10.0, 9.5):
            return None
        colour = mix(top, bottom, py / 20.0)
        if not inside_disc(px, py, 10.0, 10.0, 8.6):
            colour = mix(colour, (10, 60, 140), 0.45)     # a darker rim
        return colour
    c.paint(0, 0, 20, 20, disc, samples=8)
    white = (255, 255, 255)
    # The hook: from the left over the top round to below the centre, then the stem.
    c.paint(0, 0, 20, 20, stroke_arc_shader(10.0, 7.6, 2.9, -90, 180, 2.1, white), samples=8)
    c.paint(0, 0, 20, 20, stroke_segment_shader(10.0, 10.5, 10.0, 11.6, 2.1, white), samples=8)
    c.paint(0, 0, 20, 20, lambda px, py: white if inside_disc(px, py, 10.0, 14.7, 1.3) else None,
            samples=8)
    return c


def app_icon(size):
    """The program icon: the fingerprint disc on a transparent ground, with
    fewer ridges at the small sizes: ridges closer than about three pixels
    run together into a grey blur."""
    c = Canvas(size, size)
    ridges, fill = {16: (2, 0.95), 24: (2, 0.85), 32: (3, 0.8), 48: (4, 0.78)}[size]
    r = size / 2.0 - 0.5
    c.paint(0, 0, size, size,
            fingerprint_shader(size / 2.0, size / 2.0, r, ridges, ring=size >= 24, fill=fill), samples=6)
    return c


# ------------------------------------------------------------------ main --

def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "QOVIPWDBankSet", "res", "skin")
    os.makedirs(out, exist_ok=True)
    files = {
        "background.png": png_bytes(background()),
        "button_normal.png": png_bytes(large_button((252, 252, 252), (195, 195, 195))),
        "button_hover.png": png_bytes(large_button((238, 249, 255), (140, 204, 242))),
        "button_pressed.png": png_bytes(large_button((214, 214, 214), (186, 186, 186),
                                                     lower=((72, 118, 186), (44, 86, 156)))),
        "small_normal.png": png_bytes(small_button((253, 253, 253), (212, 212, 212))),
        "small_hover.png": png_bytes(small_button((236, 252, 255), (172, 232, 246))),
        "small_pressed.png": png_bytes(small_button((222, 228, 236), (178, 190, 206))),
        "help.png": png_bytes(help_icon()),
        "app_large.ico": ico_bytes([app_icon(32), app_icon(48)]),
        "app_small.ico": ico_bytes([app_icon(16), app_icon(24)]),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print("%-20s %6d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
