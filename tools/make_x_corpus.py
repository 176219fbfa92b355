#!/usr/bin/env python3
"""Builds the .x test corpus from its text files (python3 with zlib only).

From each hand-written text file in tests/data/x (cube.x, frames.x, nomaterials.x) it writes
the binary form (NAME_bin.x), the MSZIP-compressed text (NAME_tzip.x) and compressed binary
(NAME_bzip.x); the cube also gets a binary form with 64-bit floats (cube_bin64.x). It also
writes grid.x, a text mesh large enough that its compressed forms span several MSZIP blocks, so
the block-to-block dictionary is exercised. The small files are copied as seeds for the .x
fuzzer. Run from anywhere; the outputs are committed.
"""
import os
import re
import shutil
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "tests", "data", "x")
SEEDS = os.path.join(ROOT, "tests", "fuzz", "corpus", "xfile_fuzz")

TOKEN = {
    "name": 1, "string": 2, "integer": 3, "guid": 5, "integer_list": 6, "float_list": 7,
    "{": 10, "}": 11, "(": 12, ")": 13, "[": 14, "]": 15, "<": 16, ">": 17, ".": 18,
    ",": 19, ";": 20, "template": 31,
}
KEYWORDS = {
    "WORD": 40, "DWORD": 41, "FLOAT": 42, "DOUBLE": 43, "CHAR": 44, "UCHAR": 45, "SWORD": 46,
    "SDWORD": 47, "VOID": 48, "STRING": 49, "LPSTR": 49, "UNICODE": 50, "CSTRING": 51,
    "array": 52,
}
LEXEME = re.compile(r"""
    (?P<space>\s+|//[^\n]*|\#[^\n]*)
  | (?P<guid><[0-9A-Fa-f-]+>)
  | (?P<string>"[^"\n]*")
  | (?P<dots>\.\.\.)
  | (?P<number>[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?)
  | (?P<name>[A-Za-z_][A-Za-z0-9_.-]*)
  | (?P<punct>[{}\[\](),;])
""", re.VERBOSE)


def lex(text):
    pos = 0
    while pos < len(text):
        m = LEXEME.match(text, pos)
        if not m:
            raise ValueError("cannot lex at %d: %r" % (pos, text[pos:pos + 20]))
        pos = m.end()
        kind = m.lastgroup
        if kind != "space":
            yield kind, m.group(kind)


def guid_bytes(text):
    h = text.strip("<>").split("-")
    data4 = bytes.fromhex(h[3] + h[4])
    return struct.pack("<IHH", int(h[0], 16), int(h[1], 16), int(h[2], 16)) + data4


def word(v):
    return struct.pack("<H", v)


def to_binary(text, double):
    """Text body -> binary body. Runs of numbers become integer or float lists; separators in
    data are implied by the lists and dropped; template definitions keep their punctuation."""
    out = bytearray()
    tokens = list(lex(text))
    fmt = "<d" if double else "<f"
    i = 0
    in_template = 0
    while i < len(tokens):
        kind, value = tokens[i]
        if kind == "name" and value == "template":
            out += word(TOKEN["template"])
            in_template = 1
            i += 1
            continue
        if in_template:
            if kind == "punct" and value == "{":
                in_template += 1
                out += word(TOKEN["{"])
            elif kind == "punct" and value == "}":
                in_template -= 1
                out += word(TOKEN["}"])
                if in_template == 1:
                    in_template = 0
            elif kind == "guid":
                out += word(TOKEN["guid"]) + guid_bytes(value)
            elif kind == "name" and value in KEYWORDS:
                out += word(KEYWORDS[value])
            elif kind == "name":
                out += word(TOKEN["name"]) + struct.pack("<I", len(value)) + value.encode()
            elif kind == "number":
                out += word(TOKEN["integer"]) + struct.pack("<I", int(value))
            elif kind == "dots":
                out += word(TOKEN["."]) * 3
            else:
                out += word(TOKEN[value])
            i += 1
            continue
        if kind == "number":
            is_int = re.fullmatch(r"[-+]?\d+", value) is not None
            run = []
            while i < len(tokens) and tokens[i][0] in ("number", "punct") and \
                    tokens[i][1] not in "{}":
                k, v = tokens[i]
                if k == "number":
                    if (re.fullmatch(r"[-+]?\d+", v) is not None) != is_int:
                        break
                    run.append(v)
                i += 1
            if is_int:
                out += word(TOKEN["integer_list"]) + struct.pack("<I", len(run))
                out += b"".join(struct.pack("<I", int(v)) for v in run)
            else:
                out += word(TOKEN["float_list"]) + struct.pack("<I", len(run))
                out += b"".join(struct.pack(fmt, float(v)) for v in run)
            continue
        if kind == "punct" and value in ",;":
            i += 1
            continue
        if kind == "name":
            out += word(TOKEN["name"]) + struct.pack("<I", len(value)) + value.encode()
        elif kind == "string":
            s = value[1:-1].encode()
            out += word(TOKEN["string"]) + struct.pack("<I", len(s)) + s
            out += struct.pack("<I", TOKEN[";"])
        elif kind == "guid":
            out += word(TOKEN["guid"]) + guid_bytes(value)
        else:
            out += word(TOKEN[value])
        i += 1
    return bytes(out)


def mszip(body):
    """MSZIP: total size (with the 16-byte header), then blocks of at most 32 KiB, each raw
    deflate primed with the previous block's output."""
    out = bytearray(struct.pack("<I", len(body) + 16))
    previous = b""
    for start in range(0, len(body), 32768):
        block = body[start:start + 32768]
        if previous:
            c = zlib.compressobj(9, zlib.DEFLATED, -15, zdict=previous)
        else:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
        packed = c.compress(block) + c.flush()
        out += struct.pack("<HH", len(block), len(packed) + 2) + b"CK" + packed
        previous = block
    return bytes(out)


def grid_text(n):
    """An n x n grid of unit quads in the y = 0 plane, facing up, with one material."""
    lines = ["xof 0303txt 0032", "// A flat grid of %d x %d quads, made by make_x_corpus.py." % (n, n),
             "Mesh Grid {", " %d;" % ((n + 1) * (n + 1))]
    verts = []
    for z in range(n + 1):
        for x in range(n + 1):
            verts.append(" %.6f;0.000000;%.6f;" % (x, z))
    lines.append(",\n".join(verts) + ";")
    lines.append(" %d;" % (n * n))
    faces = []
    for z in range(n):
        for x in range(n):
            a = z * (n + 1) + x
            # Clockwise from above: (x,z) -> (x,z+1) -> (x+1,z+1) -> (x+1,z).
            faces.append(" 4;%d,%d,%d,%d;" % (a, a + n + 1, a + n + 2, a + 1))
    lines.append(",\n".join(faces) + ";")
    lines.append(" MeshMaterialList { 1; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 0.0; "
                 "0.0;0.0;0.0;; 0.0;0.0;0.0;; } }")
    lines.append("}")
    return "\n".join(lines) + "\n"


def header(version, fmt, floats):
    return ("xof %s%s%s" % (version, fmt, floats)).encode()


def main():
    with open(os.path.join(CORPUS, "grid.x"), "w", newline="\n") as f:
        f.write(grid_text(60))
    os.makedirs(SEEDS, exist_ok=True)
    for stem in ("cube", "frames", "nomaterials", "grid"):
        with open(os.path.join(CORPUS, stem + ".x"), "rb") as f:
            data = f.read()
        version = data[4:8].decode()
        body = data[16:]
        binary = to_binary(body.decode(), False)
        outputs = {
            stem + "_bin.x": header(version, "bin ", "0032") + binary,
            stem + "_tzip.x": header(version, "tzip", "0032") + mszip(body),
            stem + "_bzip.x": header(version, "bzip", "0032") + mszip(binary),
        }
        if stem == "cube":
            outputs["cube_bin64.x"] = header(version, "bin ", "0064") + to_binary(body.decode(), True)
        for name, content in outputs.items():
            with open(os.path.join(CORPUS, name), "wb") as f:
                f.write(content)
        if stem != "grid":
            for name in [stem + ".x"] + list(outputs):
                shutil.copyfile(os.path.join(CORPUS, name), os.path.join(SEEDS, name))
    for name in sorted(os.listdir(CORPUS)):
        print("%-24s %7d bytes" % (name, os.path.getsize(os.path.join(CORPUS, name))))


if __name__ == "__main__":
    main()
