#!/usr/bin/env python3
"""Writes the decoder test images into tests/data/images.

PNG and BMP files are assembled byte by byte here (zlib only) so every colour type, bit depth
and the interlaced layout are exactly what the tests expect; the JPEG files are encoded by
ImageMagick's `convert` from PPM/PGM written here. The pixel pattern is the one
tests/platform/d3dx8/image_decode_test.cpp recomputes.
"""
import os
import struct
import subprocess
import sys
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")
W, H = 7, 5  # odd on purpose: every Adam7 pass gets pixels, BMP rows need padding


def pattern(x, y):
    return ((x * 40 + y) & 255, (y * 50 + x * 3) & 255, (x * y * 9) & 255,
            (255 - x * 20 - y * 7) & 255)


def grey(x, y):
    return (x * 36 + y * 5) & 255


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def pack_bits(values, depth):
    if depth >= 8:
        out = bytearray()
        for v in values:
            out += v.to_bytes(depth // 8, "big")
        return bytes(out)
    out, acc, n = bytearray(), 0, 0
    for v in values:
        acc = (acc << depth) | v
        n += depth
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]


def png(name, color_type, depth, sample, extra=b"", interlace=False):
    """sample(x, y) gives the list of channel values of one pixel at the file's depth."""
    raw = bytearray()
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    for x0, y0, dx, dy in passes:
        xs = list(range(x0, W, dx))
        if not xs:
            continue
        for y in range(y0, H, dy):
            raw.append(0)  # filter: none
            raw += pack_bits([c for x in xs for c in sample(x, y)], depth)
    ihdr = struct.pack(">IIBBBBB", W, H, depth, color_type, 0, 0, 1 if interlace else 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def wide(v):
    # High and low bytes differ, so taking the wrong byte shows.
    return (v << 8) | (255 - v)


def bmp(name, bits, top_down):
    stride = ((W * bits + 31) // 32) * 4
    rows = []
    for y in range(H):
        row = bytearray()
        for x in range(W):
            r, g, b, _ = pattern(x, y)
            row += bytes([b, g, r]) + (b"\x00" if bits == 32 else b"")
        rows.append(bytes(row) + b"\x00" * (stride - len(row)))
    if not top_down:
        rows.reverse()
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, W, -H if top_down else H, 1, bits, 0, len(pixels),
                       2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(header + info + pixels)


def quadrant(x, y, colours):
    return colours[(1 if x >= 8 else 0) + (2 if y >= 8 else 0)]


def jpeg(name, greyscale, progressive):
    colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]
    levels = [0, 85, 170, 255]
    if greyscale:
        src = b"P5 16 16 255\n" + bytes(quadrant(x, y, levels) for y in range(16) for x in range(16))
    else:
        src = b"P6 16 16 255\n" + b"".join(bytes(quadrant(x, y, colours))
                                           for y in range(16) for x in range(16))
    source = os.path.join(OUT, name + (".pgm" if greyscale else ".ppm"))
    with open(source, "wb") as f:
        f.write(src)
    args = ["convert", source, "-strip", "-quality", "95", "-sampling-factor", "1x1"]
    args += ["-interlace", "JPEG" if progressive else "none"]
    subprocess.run(args + [os.path.join(OUT, name)], check=True)
    os.remove(source)


def main():
    os.makedirs(OUT, exist_ok=True)
    png("rgb8.png", 2, 8, lambda x, y: pattern(x, y)[:3])
    png("rgba8.png", 6, 8, pattern)
    png("rgb16.png", 2, 16, lambda x, y: [wide(c) for c in pattern(x, y)[:3]])
    png("rgba16.png", 6, 16, lambda x, y: [wide(c) for c in pattern(x, y)])
    png("grey8.png", 0, 8, lambda x, y: [grey(x, y)])
    png("grey16.png", 0, 16, lambda x, y: [wide(grey(x, y))])
    png("grey1.png", 0, 1, lambda x, y: [(x + y) & 1])
    png("greyalpha8.png", 4, 8, lambda x, y: [grey(x, y), pattern(x, y)[3]])
    # Four palette entries at 2 bits per pixel; tRNS covers the first three only.
    palette = bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30])
    png("palette2.png", 3, 2, lambda x, y: [(x + 2 * y) % 4],
        chunk(b"PLTE", palette) + chunk(b"tRNS", bytes([0, 128, 255])))
    png("interlaced.png", 6, 8, pattern, interlace=True)
    png("interlaced_grey2.png", 0, 2, lambda x, y: [(x * 3 + y) % 4], interlace=True)
    bmp("rgb24.bmp", 24, False)
    bmp("rgb32_topdown.bmp", 32, True)
    jpeg("baseline.jpg", False, False)
    jpeg("progressive.jpg", False, True)
    jpeg("grey.jpg", True, False)
    # Adobe CMYK JPEG and a BMP with an alpha bit field, both as ImageMagick writes them.
    subprocess.run(["convert", os.path.join(OUT, "baseline.jpg"), "-colorspace", "CMYK",
                    "-quality", "95", "-sampling-factor", "1x1",
                    os.path.join(OUT, "cmyk.jpg")], check=True)
    subprocess.run(["convert", os.path.join(OUT, "rgba8.png"), "-define", "bmp:format=bmp4",
                    os.path.join(OUT, "rgba32_bitfields.bmp")], check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
