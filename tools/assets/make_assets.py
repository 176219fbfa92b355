#!/usr/bin/env python3
"""Generates the demo's data files into data/: body.x (the walking machine's body, a text .x
mesh), body.png (its hull plating), ground.png (a seamless ground tile) and almi.png (a spare
texture). Only the standard library and zlib; the output is the same on every run.

Run from anywhere:  python3 tools/assets/make_assets.py
"""
import math
import os
import random
import struct
import zlib

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data")


# ---- PNG ------------------------------------------------------------------------------------

def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b); written as 8-bit RGB."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter: none
        for x in range(width):
            r, g, b = pixel(x, y)
            rows += bytes((clamp8(r), clamp8(g), clamp8(b)))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def clamp8(v):
    return max(0, min(255, int(round(v))))


# ---- Periodic value noise: a lattice that wraps, so the image tiles without seams ------------

class PeriodicNoise:
    def __init__(self, seed, period):
        rnd = random.Random(seed)
        self.period = period
        self.values = [[rnd.random() for _ in range(period)] for _ in range(period)]

    def at(self, u, v):
        """u, v in lattice cells; wraps every `period` cells."""
        p = self.period
        x0, y0 = int(math.floor(u)), int(math.floor(v))
        fx, fy = u - x0, v - y0
        sx, sy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        a = self.values[y0 % p][x0 % p]
        b = self.values[y0 % p][(x0 + 1) % p]
        c = self.values[(y0 + 1) % p][x0 % p]
        d = self.values[(y0 + 1) % p][(x0 + 1) % p]
        return (a * (1 - sx) + b * sx) * (1 - sy) + (c * (1 - sx) + d * sx) * sy


def fractal(octaves, x, y, size):
    """Sum of octaves; octave k has 4 * 2^k cells across the image, so each wraps at `size`."""
    total, weight, norm = 0.0, 1.0, 0.0
    for k, noise in enumerate(octaves):
        cells = noise.period
        total += weight * noise.at(x * cells / size, y * cells / size)
        norm += weight
        weight *= 0.55
    return total / norm


def make_ground(path):
    size = 256
    octaves = [PeriodicNoise(11 + k, 4 << k) for k in range(6)]
    blades = PeriodicNoise(97, 64)
    patches = PeriodicNoise(5, 8)

    def pixel(x, y):
        n = fractal(octaves, x, y, size)
        fine = blades.at(x * 64 / size, y * 64 / size)
        dry = patches.at(x * 8 / size, y * 8 / size)
        # Grass green drifting to dry earth in patches, with a fine speckle of blades.
        t = max(0.0, min(1.0, (dry - 0.35) * 2.2))
        r = (58 + 60 * n) * (1 - t) + (120 + 50 * n) * t
        g = (96 + 70 * n) * (1 - t) + (104 + 40 * n) * t
        b = (36 + 30 * n) * (1 - t) + (62 + 30 * n) * t
        k = 0.82 + 0.36 * fine
        return r * k, g * k, b * k

    write_png(path, size, size, pixel)


def make_body_texture(path):
    """Hull plating: panels with seams, rivets and a warning stripe."""
    size = 128
    grain = PeriodicNoise(23, 32)

    def pixel(x, y):
        g = grain.at(x * 32 / size, y * 4 / size)  # brushed along x
        base = 150 + 50 * g
        r, gg, b = base * 0.92, base * 0.95, base
        px, py = x % 32, y % 32
        if px in (0, 31) or py in (0, 31):
            r, gg, b = r * 0.55, gg * 0.55, b * 0.6  # panel seams
        elif (px - 4) ** 2 + (py - 4) ** 2 <= 2 or (px - 27) ** 2 + (py - 27) ** 2 <= 2:
            r, gg, b = 215, 215, 220  # rivets
        if 56 <= y < 72 and ((x + y) // 8) % 2 == 0:
            r, gg, b = 230, 170, 30  # warning stripe
        return r, gg, b

    write_png(path, size, size, pixel)


def make_almi(path):
    """A round emblem: an eight-spoked wheel on a blue plate."""
    size = 128
    c = (size - 1) / 2.0

    def pixel(x, y):
        dx, dy = x - c, y - c
        d = math.hypot(dx, dy)
        a = math.atan2(dy, dx)
        r, g, b = 30 + 40 * y / size, 60 + 50 * y / size, 120 + 80 * y / size
        if 44 <= d <= 54:
            r, g, b = 230, 230, 235
        elif d < 44 and abs(math.sin(4 * a)) * d < 3.5:
            r, g, b = 200, 205, 215
        elif d < 10:
            r, g, b = 240, 80, 40
        return r, g, b

    write_png(path, size, size, pixel)


# ---- The body mesh --------------------------------------------------------------------------
#
# Mesh frame, as the chassis is drawn: +x up, +z along the chassis towards its front (the
# walking direction, where the cannon fires), y across. The chassis plate is x in
# [-0.25, 0.25], y in [-3, 3], z in [-8, 8]; the body stands on its top face x = 0.25.
#
# Direct3D is left-handed and draws faces wound clockwise as seen from outside: a triangle
# (a, b, c) faces outward when cross(b - a, c - a) points outward.

class MeshBuilder:
    def __init__(self):
        self.positions, self.normals, self.uvs, self.faces, self.materials = [], [], [], [], []

    def polygon(self, points, normal, uv_of, material):
        """A flat convex polygon, fanned; points in any winding, fixed to face `normal`."""
        a, b, c = points[0], points[1], points[2]
        if dot(cross(sub(b, a), sub(c, a)), normal) < 0:
            points = list(reversed(points))
        base = len(self.positions)
        for p in points:
            self.positions.append(p)
            self.normals.append(normal)
            self.uvs.append(uv_of(p))
        self.faces.append(list(range(base, base + len(points))))
        self.materials.append(material)

    def prism(self, profile, y0, y1, material, uv_scale=0.25):
        """A convex profile in the (z, x) plane, extruded across y from y0 to y1."""
        n = len(profile)
        centre = (sum(p[1] for p in profile) / n, 0.0, sum(p[0] for p in profile) / n)
        for y, ny in ((y0, -1.0), (y1, 1.0)):
            pts = [(x, y, z) for (z, x) in profile]
            self.polygon(pts, (0.0, ny, 0.0), lambda p: (p[2] * uv_scale, -p[0] * uv_scale),
                         material)
        for i in range(n):
            (za, xa), (zb, xb) = profile[i], profile[(i + 1) % n]
            edge = (xb - xa, 0.0, zb - za)
            normal = normalize((edge[2], 0.0, -edge[0]))
            mid = ((xa + xb) / 2, 0.0, (za + zb) / 2)
            if dot(normal, sub(mid, centre)) < 0:
                normal = scale(normal, -1.0)
            length = math.hypot(xb - xa, zb - za)
            quad = [(xa, y0, za), (xb, y0, zb), (xb, y1, zb), (xa, y1, za)]
            start = (xa, za)

            def uv(p, start=start, length=length):
                along = math.hypot(p[0] - start[0], p[2] - start[1])
                return (along * uv_scale, p[1] * uv_scale)

            self.polygon(quad, normal, uv, material)

    def box(self, lo, hi, material):
        (x0, y0, z0), (x1, y1, z1) = lo, hi
        self.prism([(z0, x0), (z1, x0), (z1, x1), (z0, x1)], y0, y1, material)


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def scale(a, s):
    return (a[0] * s, a[1] * s, a[2] * s)


def normalize(a):
    n = math.sqrt(dot(a, a))
    return scale(a, 1.0 / n)


HULL, CANOPY, CANNON = 0, 1, 2


def build_body():
    m = MeshBuilder()
    # The beams leave the muzzles at |y| 3.6, 1 above the chassis centre, and fly forward. Every
    # camera that follows the machine looks at them from behind, so its lines of sight to the
    # beams run from the centre line out to the muzzles: the body keeps out of that space. It is
    # narrow (a keel of 1.2 below the beams' height, 2 above it), and the cannons sit out on
    # thin arms.
    # Keel: raked bow at +z, bevelled stern.
    m.prism([(-7.6, 0.25), (7.0, 0.25), (7.9, 0.8), (7.5, 1.0), (-7.3, 1.0), (-7.6, 0.95)],
            -0.6, 0.6, HULL)
    # Upper hull over the keel.
    m.prism([(-7.3, 1.0), (7.5, 1.0), (6.2, 1.45), (-6.6, 1.45)], -1.0, 1.0, HULL)
    # Cabin: glazed, leaning forward, behind the driver's seat (the driver's camera sits just
    # ahead of the chassis centre, 3 above it, and looks over the deck).
    m.prism([(-5.8, 1.45), (0.2, 1.45), (-1.2, 2.3), (-5.2, 2.3)], -0.8, 0.8, CANOPY)
    # A mast on the cabin roof.
    m.box((2.3, -0.2, -4.4), (3.4, 0.2, -4.0), CANNON)
    # A cannon on an arm out of each flank; its muzzle sits where its beam starts (z 6, x 1,
    # |y| 3.6).
    for side in (-1.0, 1.0):
        y_in, y_out = sorted((side * 1.0, side * 3.45))
        m.box((1.0, y_in, 1.0), (1.2, y_out, 1.6), HULL)
        yc = side * 3.6
        m.prism([(1.0, 0.85), (6.0, 0.85), (6.0, 1.15), (1.0, 1.15)], yc - 0.15, yc + 0.15,
                CANNON)
    return m


def fmt(v):
    s = "%.6f" % v
    return "0.000000" if s == "-0.000000" else s


def x_vector(v):
    return ";".join(fmt(c) for c in v) + ";"


def x_face(f):
    return "%d;%s;" % (len(f), ",".join(str(i) for i in f))


def x_list(out, indent, rows):
    """Appends an .x array: its count, then its rows separated by commas and closed by ';'."""
    out.append("%s%d;" % (indent, len(rows)))
    out.append(",\n".join(indent + row for row in rows) + ";")


def write_x(path, m):
    out = ["xof 0303txt 0032", "",
           "// The walking machine's body. Mesh frame: +x up, +z forward, y across;",
           "// generated by tools/assets/make_assets.py.", ""]
    out.append("Frame Body {")
    out.append("  FrameTransformMatrix {")
    out.append("    1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;")
    out.append("  }")
    out.append("  Mesh BodyMesh {")
    x_list(out, "    ", [x_vector(p) for p in m.positions])
    x_list(out, "    ", [x_face(f) for f in m.faces])

    out.append("    MeshMaterialList {")
    out.append("      3;")
    out.append("      %d;" % len(m.faces))
    out.append("      " + ",".join(str(i) for i in m.materials) + ";")
    materials = [
        # face colour, power, specular, emissive, texture
        ((1.0, 1.0, 1.0, 1.0), 24.0, (0.35, 0.35, 0.35), (0.0, 0.0, 0.0), "body.png"),
        ((0.10, 0.22, 0.38, 1.0), 60.0, (0.8, 0.8, 0.9), (0.0, 0.02, 0.05), None),
        ((0.30, 0.30, 0.33, 1.0), 40.0, (0.6, 0.6, 0.6), (0.0, 0.0, 0.0), None),
    ]
    for colour, power, spec, emis, tex in materials:
        out.append("      Material {")
        out.append("        %s;;" % ";".join(fmt(c) for c in colour))
        out.append("        %s;" % fmt(power))
        out.append("        %s;;" % ";".join(fmt(c) for c in spec))
        out.append("        %s;;" % ";".join(fmt(c) for c in emis))
        if tex:
            out.append('        TextureFilename { "%s"; }' % tex)
        out.append("      }")
    out.append("    }")

    out.append("    MeshNormals {")
    x_list(out, "      ", [x_vector(n) for n in m.normals])
    x_list(out, "      ", [x_face(f) for f in m.faces])
    out.append("    }")

    out.append("    MeshTextureCoords {")
    x_list(out, "      ", [x_vector(uv) for uv in m.uvs])
    out.append("    }")
    out.append("  }")
    out.append("}")
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(out) + "\n")


def main():
    os.makedirs(DATA, exist_ok=True)
    make_ground(os.path.join(DATA, "ground.png"))
    make_body_texture(os.path.join(DATA, "body.png"))
    make_almi(os.path.join(DATA, "almi.png"))
    write_x(os.path.join(DATA, "body.x"), build_body())


if __name__ == "__main__":
    main()
