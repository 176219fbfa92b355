#!/usr/bin/env python3
"""Builds the .x test corpus from its text files (python3 with zlib only).

From each hand-written text file in tests/data/x (cube.x, frames.x, nomaterials.x) it writes
the binary form (NAME_bin.x), the MSZIP-compressed text (NAME_tzip.x) and compressed binary
(NAME_bzip.x); the cube also gets a binary form with 64-bit floats (cube_bin64.x). It also
writes grid.x, a text mesh large enough that its compressed forms span several MSZIP blocks, so
the block-to-block dictionary is exercised, and exporter_a.x, exporter_b.x and exporter_c.x, one
scene written the way modelling tools export it, in three dialects (with their binary and
compressed forms; a text file declaring 64-bit floats gets them in binary). The small files are copied as seeds for the .x
fuzzer. Run from anywhere; the outputs are committed.
"""
import os
import re
import shutil
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
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


# ---- Files as modelling tools export them ---------------------------------------------------
#
# One scene in three dialects. Each opens with template declarations of every shape (arrays of
# numeric and named sizes, open and restricted templates), has a hull cube with normals,
# texture coordinates, vertex colours, skin weights and duplication indices under two frames,
# a turret pyramid with an inline material in a nested frame, bone frames without meshes, and
# an animation set. Dialect "a" puts commas between list items and doubled semicolons at list
# ends with // comments; "b" uses semicolons only, some tripled, # comments, CR LF line ends and
# exponent notation; "c" packs everything onto few lines.

TEMPLATES = """\
template Header {
 <3D82AB43-62DA-11cf-AB39-0020AF71E433>
 WORD major;
 WORD minor;
 DWORD flags;
}
template Vector {
 <3D82AB5E-62DA-11cf-AB39-0020AF71E433>
 FLOAT x;
 FLOAT y;
 FLOAT z;
}
template Coords2d {
 <F6F23F44-7686-11cf-8F52-0040333594A3>
 FLOAT u;
 FLOAT v;
}
template Matrix4x4 {
 <F6F23F45-7686-11cf-8F52-0040333594A3>
 array FLOAT matrix[16];
}
template ColorRGBA {
 <35FF44E0-6C7C-11cf-8F52-0040333594A3>
 FLOAT red;
 FLOAT green;
 FLOAT blue;
 FLOAT alpha;
}
template ColorRGB {
 <D3E16E81-7835-11cf-8F52-0040333594A3>
 FLOAT red;
 FLOAT green;
 FLOAT blue;
}
template IndexedColor {
 <1630B820-7842-11cf-8F52-0040333594A3>
 DWORD index;
 ColorRGBA indexColor;
}
template TextureFilename {
 <A42790E1-7810-11cf-8F52-0040333594A3>
 STRING filename;
}
template Material {
 <3D82AB4D-62DA-11cf-AB39-0020AF71E433>
 ColorRGBA faceColor;
 FLOAT power;
 ColorRGB specularColor;
 ColorRGB emissiveColor;
 [...]
}
template MeshFace {
 <3D82AB5F-62DA-11cf-AB39-0020AF71E433>
 DWORD nFaceVertexIndices;
 array DWORD faceVertexIndices[nFaceVertexIndices];
}
template MeshTextureCoords {
 <F6F23F40-7686-11cf-8F52-0040333594A3>
 DWORD nTextureCoords;
 array Coords2d textureCoords[nTextureCoords];
}
template MeshMaterialList {
 <F6F23F42-7686-11cf-8F52-0040333594A3>
 DWORD nMaterials;
 DWORD nFaceIndexes;
 array DWORD faceIndexes[nFaceIndexes];
 [Material <3D82AB4D-62DA-11cf-AB39-0020AF71E433>]
}
template MeshNormals {
 <F6F23F43-7686-11cf-8F52-0040333594A3>
 DWORD nNormals;
 array Vector normals[nNormals];
 DWORD nFaceNormals;
 array MeshFace faceNormals[nFaceNormals];
}
template MeshVertexColors {
 <1630B821-7842-11cf-8F52-0040333594A3>
 DWORD nVertexColors;
 array IndexedColor vertexColors[nVertexColors];
}
template Mesh {
 <3D82AB44-62DA-11cf-AB39-0020AF71E433>
 DWORD nVertices;
 array Vector vertices[nVertices];
 DWORD nFaces;
 array MeshFace faces[nFaces];
 [...]
}
template FrameTransformMatrix {
 <F6F23F41-7686-11cf-8F52-0040333594A3>
 Matrix4x4 frameMatrix;
}
template Frame {
 <3D82AB46-62DA-11cf-AB39-0020AF71E433>
 [...]
}
template FloatKeys {
 <10DD46A9-775B-11cf-8F52-0040333594A3>
 DWORD nValues;
 array FLOAT values[nValues];
}
template TimedFloatKeys {
 <F406B180-7B3B-11cf-8F52-0040333594A3>
 DWORD time;
 FloatKeys tfkeys;
}
template AnimationKey {
 <10DD46A8-775B-11cf-8F52-0040333594A3>
 DWORD keyType;
 DWORD nKeys;
 array TimedFloatKeys keys[nKeys];
}
template AnimationOptions {
 <E2BF56C0-840F-11cf-8F52-0040333594A3>
 DWORD openclosed;
 DWORD positionquality;
}
template Animation {
 <3D82AB4F-62DA-11cf-AB39-0020AF71E433>
 [...]
}
template AnimationSet {
 <3D82AB50-62DA-11cf-AB39-0020AF71E433>
 [Animation]
}
template AnimTicksPerSecond {
 <9E415A43-7BA6-4a73-8743-B73D47E88476>
 DWORD AnimTicksPerSecond;
}
template XSkinMeshHeader {
 <3CF169CE-FF7C-44ab-93C0-F78F62D172E2>
 WORD nMaxSkinWeightsPerVertex;
 WORD nMaxSkinWeightsPerFace;
 WORD nBones;
}
template VertexDuplicationIndices {
 <B8D65549-D7C9-4995-89CF-53A9A8B031E3>
 DWORD nIndices;
 DWORD nOriginalVertices;
 array DWORD indices[nIndices];
}
template ExporterMarker {
 <8E3F1C2A-5B47-4D21-9A6E-0C1B2D3E4F50>
 STRING label;
 DWORD nBytes;
 array UCHAR bytes[nBytes];
 [Mesh]
}
template ExporterGroup {
 <8E3F1C2B-5B47-4D21-9A6E-0C1B2D3E4F50>
 DWORD nParts;
 array WORD parts[nParts];
 array DOUBLE weights[2];
 [Mesh <3D82AB44-62DA-11cf-AB39-0020AF71E433>, Frame]
}
template SkinWeights {
 <6F0D123B-BAD2-4167-A0D0-80224F25FABB>
 STRING transformNodeName;
 DWORD nWeights;
 array DWORD vertexIndices[nWeights];
 array FLOAT weights[nWeights];
 Matrix4x4 matrixOffset;
}
"""

CUBE_CORNERS = [(x, y, z) for z in (-1, 1) for y in (-1, 1) for x in (-1, 1)]
# Quads of the cube, clockwise seen from outside (left-handed), with their normals.
CUBE_QUADS = [((0, 2, 3, 1), (0, 0, -1)), ((4, 5, 7, 6), (0, 0, 1)),
              ((0, 4, 6, 2), (-1, 0, 0)), ((1, 3, 7, 5), (1, 0, 0)),
              ((2, 6, 7, 3), (0, 1, 0)), ((0, 1, 5, 4), (0, -1, 0))]
PYRAMID = [(-1, 0, -1), (1, 0, -1), (1, 0, 1), (-1, 0, 1), (0, 1.5, 0)]
PYRAMID_FACES = [(1, 0, 4), (2, 1, 4), (3, 2, 4), (0, 3, 4), (0, 1, 2, 3)]


def translation(x, y, z):
    return [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1]


class Dialect:
    def __init__(self, name):
        self.name = name

    def num(self, v):
        if self.name == "b":
            return "%.6e" % v
        return "%.6f" % v

    def comment(self, text):
        return ("# " if self.name == "b" else "// ") + text

    def items(self, items, inner=";"):
        """A list of structured items: each ends with `inner`; between items the dialect's
        separator, and the list's own end after the last."""
        if self.name == "a":
            return ",\n".join(i + inner for i in items) + ";"
        if self.name == "b":
            return "\n".join(i + inner + ";" for i in items) + ";"
        return ", ".join(i + inner for i in items) + ";;"

    def values(self, values):
        """A flat list of numbers (an array of a simple type)."""
        if self.name == "b":
            return ";".join(values) + ";;;"
        return ",".join(values) + ";"

    def vector(self, v):
        return ";".join(self.num(c) for c in v)

    def matrix(self, m):
        return self.values([self.num(c) for c in m]) + ";"

    def material(self, name, colour, power, texture):
        lines = ["Material %s {" % name if name else "Material {",
                 " %s;;" % ";".join(self.num(c) for c in colour),
                 " %s;" % self.num(power),
                 " %s;;" % self.vector((0.5, 0.5, 0.5)),
                 " %s;;" % self.vector((0.0, 0.0, 0.0))]
        if texture:
            lines.append(' TextureFilename { "%s"; }' % texture)
        lines.append("}")
        return "\n".join(lines)

    def mesh(self, name, positions, faces, extra):
        lines = ["Mesh %s {" % name, " %d;" % len(positions),
                 self.items([self.vector(p) for p in positions]),
                 " %d;" % len(faces),
                 self.items(["%d;%s" % (len(f), ",".join(str(i) for i in f)) for f in faces])]
        return "\n".join(lines + extra + ["}"])


def exporter_text(dialect):
    d = Dialect(dialect)
    out = ["xof %s" % ("0302txt 0064" if dialect == "b" else "0303txt 0032"),
           d.comment("Exported scene: a hull with a turret, two bones and a walk cycle."), "",
           TEMPLATES, "Header {", " 1;", " 0;", " 1;", "}", ""]
    out.append(d.material("Red_Paint", (0.8, 0.1, 0.1, 1.0), 32.0, "paint.png"))
    cube_normals = [n for _, n in CUBE_QUADS]
    hull_extra = [
        " MeshNormals {", "  6;", d.items([d.vector(n) for n in cube_normals]), "  6;",
        d.items(["4;%s" % ",".join([str(i)] * 4) for i in range(6)]), " }",
        " " + d.comment("one texture coordinate per corner"),
        " MeshTextureCoords {", "  8;",
        d.items([d.vector(((c[0] + 1) / 2, (c[1] + 1) / 2)) for c in CUBE_CORNERS]), " }",
        " MeshVertexColors {", "  8;",
        d.items(["%d;%s;" % (i, d.vector((1.0, 0.5, 0.25, 1.0))) for i in range(8)]), " }",
        " MeshMaterialList {", "  1;", "  6;", "  " + d.values(["0"] * 6), "  { Red_Paint }",
        " }",
        " XSkinMeshHeader {", "  2;", "  4;", "  2;", " }",
        " SkinWeights {", '  "Bone_Left";', "  4;", "  " + d.values(["0", "2", "4", "6"]),
        "  " + d.values([d.num(1.0)] * 4), "  " + d.matrix(translation(1, 0, 0)), " }",
        " SkinWeights {", '  "Bone_Right";', "  4;", "  " + d.values(["1", "3", "5", "7"]),
        "  " + d.values([d.num(1.0)] * 4), "  " + d.matrix(translation(-1, 0, 0)), " }",
        " VertexDuplicationIndices {", "  8;", "  8;", "  " + d.values([str(i) for i in range(8)]),
        " }"]
    turret_extra = [
        " MeshMaterialList {", "  1;", "  1;", "  0;;",
        d.material("", (0.2, 0.2, 0.25, 1.0), 8.0, None), " }"]
    out += [
        "Frame Scene_Root {",
        " FrameTransformMatrix {", "  " + d.matrix(translation(0, 0, 0)), " }",
        " Frame Hull {",
        "  FrameTransformMatrix {", "   " + d.matrix(translation(10, 0, 0)), "  }",
        d.mesh("HullMesh", CUBE_CORNERS, [q for q, _ in CUBE_QUADS], hull_extra),
        "  Frame Turret {",
        "   FrameTransformMatrix {", "    " + d.matrix(translation(0, 2, 0)), "   }",
        d.mesh("TurretMesh", PYRAMID, PYRAMID_FACES, turret_extra),
        "  }",
        " }",
        " Frame Bone_Left {", "  FrameTransformMatrix {", "   " + d.matrix(translation(1, 0, 0)),
        "  }", " }",
        " Frame Bone_Right {", "  FrameTransformMatrix {",
        "   " + d.matrix(translation(-1, 0, 0)), "  }", " }",
        "}", "",
        "AnimTicksPerSecond {", " 4800;", "}",
        'ExporterMarker Tag {', ' "hull";', " 3;", " " + d.values(["1", "2", "3"]),
        " { HullMesh }", "}",
        "AnimationSet Walk {",
        " Animation {", "  { Hull }",
        "  AnimationKey {", "   0;", "   2;",
        d.items(["   0;4;%s;" % d.vector((1, 0, 0, 0)), "   4800;4;%s;" % d.vector((0.9, 0, 0.43, 0))],
                ";"),
        "  }",
        "  AnimationKey {", "   2;", "   2;",
        d.items(["   0;3;%s;" % d.vector((0, 0, 0)), "   4800;3;%s;" % d.vector((0, 0, 1))], ";"),
        "  }",
        "  AnimationOptions {", "   1;", "   0;", "  }",
        " }",
        " Animation Turret_Turn {",
        "  AnimationKey {", "   4;", "   1;",
        "   0;16;" + d.values([d.num(c) for c in translation(0, 2, 0)]) + ";;",
        "  }",
        "  { Turret }",
        " }",
        "}"]
    text = "\n".join(out) + "\n"
    if dialect == "c":
        # Few lines: each template and each top-level object on one line; a comment ends its line.
        packed = out[0]
        for line in "\n".join(out[1:]).split("\n"):
            line = line.strip()
            if line.startswith("//") or line.startswith("template") or line.startswith("Frame S"):
                packed += "\n" + line + ("\n" if line.startswith("//") else " ")
            elif line:
                packed += line + " "
        text = packed + "\n"
    if dialect == "b":
        text = text.replace("\n", "\r\n")
    return text


def header(version, fmt, floats):
    return ("xof %s%s%s" % (version, fmt, floats)).encode()


def main():
    with open(os.path.join(CORPUS, "grid.x"), "w", newline="\n") as f:
        f.write(grid_text(60))
    for dialect in ("a", "b", "c"):
        with open(os.path.join(CORPUS, "exporter_%s.x" % dialect), "w", newline="") as f:
            f.write(exporter_text(dialect))
    os.makedirs(SEEDS, exist_ok=True)
    for stem in ("cube", "frames", "nomaterials", "grid", "exporter_a", "exporter_b", "exporter_c"):
        with open(os.path.join(CORPUS, stem + ".x"), "rb") as f:
            data = f.read()
        version = data[4:8].decode()
        body = data[16:]
        floats = data[12:16].decode()  # a text file declaring 64-bit floats gets them in binary
        binary = to_binary(body.decode(), floats == "0064")
        outputs = {
            stem + "_bin.x": header(version, "bin ", floats) + binary,
            stem + "_tzip.x": header(version, "tzip", floats) + mszip(body),
            stem + "_bzip.x": header(version, "bzip", floats) + mszip(binary),
        }
        if stem == "cube":
            outputs["cube_bin64.x"] = header(version, "bin ", "0064") + to_binary(body.decode(), True)
        for name, content in outputs.items():
            with open(os.path.join(CORPUS, name), "wb") as f:
                f.write(content)
        if stem in ("cube", "frames", "nomaterials", "exporter_a"):
            for name in [stem + ".x"] + list(outputs):
                shutil.copyfile(os.path.join(CORPUS, name), os.path.join(SEEDS, name))
    for name in sorted(os.listdir(CORPUS)):
        print("%-24s %7d bytes" % (name, os.path.getsize(os.path.join(CORPUS, name))))


if __name__ == "__main__":
    main()
