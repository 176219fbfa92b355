// The .x reader: header, the template-driven parse of the data objects we use, and the merge of
// all meshes into one triangle list.
//
// Known templates and their members, in file order:
//   Frame { [FrameTransformMatrix] [Frame] [Mesh] ... }
//   FrameTransformMatrix { 16 floats }
//   Mesh { DWORD nVertices; Vector vertices[nVertices]; DWORD nFaces;
//          MeshFace faces[nFaces]; [MeshNormals] [MeshTextureCoords] [MeshMaterialList] ... }
//   MeshFace = DWORD n; DWORD indices[n]
//   MeshNormals { DWORD nNormals; Vector normals[nNormals]; DWORD nFaceNormals;
//                 MeshFace faceNormals[nFaceNormals]; }
//   MeshTextureCoords { DWORD n; Coords2d coords[n]; }
//   MeshMaterialList { DWORD nMaterials; DWORD nFaceIndexes; DWORD faceIndexes[nFaceIndexes];
//                      [Material or {reference}] ... }
//   Material { ColorRGBA faceColor; FLOAT power; ColorRGB specular; ColorRGB emissive;
//              [TextureFilename] }
//   TextureFilename { STRING filename; }
// Everything else (Header, VertexDuplicationIndices, MeshVertexColors, animation, unknown
// templates) is skipped by its braces; template definitions are skipped too.
#include <platform/d3dx8/xfile/xfile_reader.h>

#include <platform/d3dx8/xfile/mszip.h>
#include <platform/win32/regular_file.h>
#include <platform/d3dx8/xfile/tokenizer.h>

#include <d3dx8.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

namespace platform::xfile {

namespace {

struct RawMaterial {
    D3DCOLORVALUE faceColor{};
    float power = 0.0f;
    float specular[3] = {0, 0, 0};
    float emissive[3] = {0, 0, 0};
    bool hasTexture = false;
    std::string texture;
};

// A material of a mesh's list: given inline or by the name of a material defined elsewhere.
struct MaterialSlot {
    bool reference = false;
    std::string name;
    RawMaterial material;
};

// MeshFace lists: face f has the indices [starts[f], starts[f + 1]).
struct FaceList {
    std::vector<uint32_t> starts{0};
    std::vector<uint32_t> indices;
    size_t Count() const { return starts.size() - 1; }
};

struct RawMesh {
    std::string name;
    std::vector<float> positions; // three per vertex
    FaceList faces;
    bool hasNormals = false;
    std::vector<float> normals;
    FaceList normalFaces;
    bool hasTexCoords = false;
    std::vector<float> uvs;
    bool hasMaterials = false;
    std::vector<uint32_t> faceMaterials; // one per face
    std::vector<MaterialSlot> materials;
};

struct FrameNode {
    D3DXMATRIX local;
    std::vector<RawMesh> meshes;
    std::vector<std::unique_ptr<FrameNode>> children;
    FrameNode() { D3DXMatrixIdentity(&local); }
};

class Parser {
  public:
    Parser(Tokenizer& tokens, std::string& reason) : tokens_(tokens), reason_(reason) {}

    bool ParseFile(FrameNode& root);
    const std::map<std::string, RawMaterial>& NamedMaterials() const { return named_; }

  private:
    bool Fail(const std::string& what, size_t offset) {
        reason_ = what + " at " + tokens_.Where(offset);
        return false;
    }
    bool TokenFail() {
        reason_ = tokens_.Error();
        return false;
    }
    bool Next(Token& t) { return tokens_.Next(t) || TokenFail(); }
    bool Peek(Token& t) { return tokens_.Peek(t) || TokenFail(); }

    bool ReadDword(uint32_t& value, const char* what);
    bool ReadFloat(float& value, const char* what);
    bool ReadFloats(float* values, int count, const char* what);
    bool ReadString(std::string& value, const char* what);
    // A count of items of `each` values: refused when the rest of the file cannot hold them.
    bool CheckCount(uint64_t count, uint64_t each, const char* what, size_t offset);
    bool ReadFaces(FaceList& faces, uint32_t count, const char* what);
    bool ReadVectors(std::vector<float>& out, uint32_t& count, const char* countWhat,
                     const char* listWhat, const char* itemWhat);

    // Reads "Type [name] [GUID] {" up to and including the brace.
    bool ReadObjectHeader(Token& type, std::string& name);
    bool SkipTemplate();
    // Skips the rest of an object whose '{' was read.
    bool SkipBody(int depth);
    bool Enter(int depth, size_t offset) {
        if (depth > kMaxDepth)
            return Fail("objects nested deeper than " + std::to_string(kMaxDepth) + " levels",
                        offset);
        return true;
    }
    // Reads "{ name [GUID] }" or "{ GUID }" after its '{'.
    bool ReadReference(std::string& name);
    // At a point where data members are over: an unknown child object is skipped, a known one
    // handed to `child`, a reference to `reference` (or ignored); true once '}' is read.
    template <typename Child, typename Reference>
    bool Children(int depth, const char* owner, Child child, Reference reference);
    // The same where references are ignored.
    template <typename Child> bool Children(int depth, const char* owner, Child child) {
        return Children(depth, owner, child, [](const std::string&, size_t) { return true; });
    }
    // The same for an object that knows no child objects: all are skipped.
    bool NoChildren(int depth, const char* owner) {
        return Children(depth, owner,
                        [](std::string_view, const std::string&, int, bool&) { return true; });
    }
    // False with `reason_` set when a face index is `count` or more: "<what> N of COUNT".
    bool IndicesBelow(const FaceList& faces, uint32_t count, const char* what);

    bool ParseFrame(FrameNode& frame, int depth);
    bool ParseMatrix(D3DXMATRIX& matrix, int depth);
    bool ParseMesh(RawMesh& mesh, int depth);
    bool ParseNormals(RawMesh& mesh, int depth);
    bool ParseTexCoords(RawMesh& mesh, int depth);
    bool ParseMaterialList(RawMesh& mesh, int depth);
    bool ParseMaterial(RawMaterial& material, int depth);
    bool ParseTextureFilename(RawMaterial& material, int depth);
    // A top-level or frame-level object.
    bool ParseObject(FrameNode& parent, int depth);

    Tokenizer& tokens_;
    std::string& reason_;
    std::map<std::string, RawMaterial> named_;
};

bool Parser::ReadDword(uint32_t& value, const char* what) {
    Token t;
    if (!Next(t)) return false;
    if (t.kind != TokenKind::Integer)
        return Fail(std::string("expected ") + what + ", found " + KindName(t.kind), t.offset);
    value = t.integer;
    return true;
}

bool Parser::ReadFloat(float& value, const char* what) {
    Token t;
    if (!Next(t)) return false;
    if (t.kind != TokenKind::Integer && t.kind != TokenKind::Float)
        return Fail(std::string("expected ") + what + ", found " + KindName(t.kind), t.offset);
    // Checked before narrowing: a double beyond the float range has no float value.
    if (!(std::fabs(t.number) <= double(FLT_MAX)))
        return Fail(std::string(what) + " is not a finite float", t.offset);
    value = static_cast<float>(t.number);
    return true;
}

bool Parser::ReadFloats(float* values, int count, const char* what) {
    for (int i = 0; i < count; ++i)
        if (!ReadFloat(values[i], what)) return false;
    return true;
}

bool Parser::ReadString(std::string& value, const char* what) {
    Token t;
    if (!Next(t)) return false;
    if (t.kind != TokenKind::String)
        return Fail(std::string("expected ") + what + ", found " + KindName(t.kind), t.offset);
    value.assign(t.text);
    return true;
}

bool Parser::CheckCount(uint64_t count, uint64_t each, const char* what, size_t offset) {
    const uint64_t most = tokens_.Remaining() / tokens_.MinValueBytes();
    if (count * each > most)
        return Fail(std::string(what) + " claims " + std::to_string(count) +
                        " entries, more than the file holds",
                    offset);
    return true;
}

// A count followed by that many three-float vectors, the count checked against the bytes left
// before anything is allocated.
bool Parser::ReadVectors(std::vector<float>& out, uint32_t& count, const char* countWhat,
                         const char* listWhat, const char* itemWhat) {
    Token at;
    if (!ReadDword(count, countWhat)) return false;
    if (!Peek(at) || !CheckCount(count, 3, listWhat, at.offset)) return false;
    out.resize(size_t(count) * 3);
    for (float& value : out)
        if (!ReadFloat(value, itemWhat)) return false;
    return true;
}

bool Parser::ReadFaces(FaceList& faces, uint32_t count, const char* what) {
    Token at;
    if (!Peek(at)) return false;
    if (!CheckCount(count, 1, what, at.offset)) return false;
    faces.starts.reserve(size_t(count) + 1);
    for (uint32_t f = 0; f < count; ++f) {
        uint32_t n;
        if (!ReadDword(n, "a face's index count")) return false;
        Token next;
        if (!Peek(next)) return false;
        if (!CheckCount(n, 1, what, next.offset)) return false;
        for (uint32_t k = 0; k < n; ++k) {
            uint32_t index;
            if (!ReadDword(index, "a face index")) return false;
            faces.indices.push_back(index);
        }
        faces.starts.push_back(static_cast<uint32_t>(faces.indices.size()));
    }
    return true;
}

bool Parser::ReadObjectHeader(Token& type, std::string& name) {
    if (!Next(type)) return false;
    if (type.kind != TokenKind::Name)
        return Fail(std::string("expected an object, found ") + KindName(type.kind), type.offset);
    Token t;
    if (!Next(t)) return false;
    if (t.kind == TokenKind::Name) {
        name.assign(t.text);
        if (!Next(t)) return false;
    }
    if (t.kind == TokenKind::Guid && !Next(t)) return false;
    if (t.kind != TokenKind::OpenBrace)
        return Fail("expected '{' after " + std::string(type.text) + ", found " + KindName(t.kind),
                    t.offset);
    Token guid;
    if (!Peek(guid)) return false;
    if (guid.kind == TokenKind::Guid) return Next(guid);
    return true;
}

bool Parser::SkipTemplate() {
    Token t;
    if (!Next(t)) return false; // the keyword
    if (!Next(t)) return false;
    if (t.kind != TokenKind::Name) return Fail("template without a name", t.offset);
    if (!Next(t)) return false;
    if (t.kind != TokenKind::OpenBrace) return Fail("template without '{'", t.offset);
    return SkipBody(1);
}

bool Parser::SkipBody(int depth) {
    int open = 1;
    while (open > 0) {
        Token t;
        if (!Next(t)) return false;
        switch (t.kind) {
        case TokenKind::End:
            return Fail("file ends inside an object", t.offset);
        case TokenKind::OpenBrace:
            ++open;
            if (!Enter(depth + open - 1, t.offset)) return false;
            break;
        case TokenKind::CloseBrace:
            --open;
            break;
        default:
            break;
        }
    }
    return true;
}

bool Parser::ReadReference(std::string& name) {
    Token t;
    if (!Next(t)) return false;
    if (t.kind == TokenKind::Name) {
        name.assign(t.text);
        if (!Next(t)) return false;
        if (t.kind == TokenKind::Guid && !Next(t)) return false;
    } else if (t.kind == TokenKind::Guid) {
        name.clear();
        if (!Next(t)) return false;
    } else {
        return Fail(std::string("expected a reference, found ") + KindName(t.kind), t.offset);
    }
    if (t.kind != TokenKind::CloseBrace) return Fail("reference without '}'", t.offset);
    return true;
}

template <typename Child, typename Reference>
bool Parser::Children(int depth, const char* owner, Child child, Reference reference) {
    for (;;) {
        Token t;
        if (!Peek(t)) return false;
        switch (t.kind) {
        case TokenKind::CloseBrace:
            return Next(t);
        case TokenKind::OpenBrace: {
            Next(t);
            std::string name;
            if (!ReadReference(name)) return false;
            if (!reference(name, t.offset)) return false;
            break;
        }
        case TokenKind::Name: {
            Token type;
            std::string name;
            if (!Enter(depth + 1, t.offset)) return false;
            if (!ReadObjectHeader(type, name)) return false;
            bool handled = false;
            if (!child(type.text, name, depth + 1, handled)) return false;
            if (!handled && !SkipBody(depth + 1)) return false;
            break;
        }
        case TokenKind::End:
            return Fail(std::string("file ends inside ") + owner, t.offset);
        default:
            return Fail(std::string("unexpected ") + KindName(t.kind) + " in " + owner, t.offset);
        }
    }
}

bool Parser::IndicesBelow(const FaceList& faces, uint32_t count, const char* what) {
    for (uint32_t index : faces.indices)
        if (index >= count) {
            reason_ =
                std::string(what) + " " + std::to_string(index) + " of " + std::to_string(count);
            return false;
        }
    return true;
}

bool Parser::ParseMatrix(D3DXMATRIX& matrix, int depth) {
    float m[16];
    if (!ReadFloats(m, 16, "a matrix entry")) return false;
    for (int i = 0; i < 16; ++i)
        matrix.m[i / 4][i % 4] = m[i];
    return NoChildren(depth, "FrameTransformMatrix");
}

bool Parser::ParseFrame(FrameNode& frame, int depth) {
    bool matrixSeen = false;
    auto child = [&](std::string_view type, const std::string& name, int d, bool& handled) {
        if (type == "FrameTransformMatrix" && !matrixSeen) {
            handled = matrixSeen = true;
            return ParseMatrix(frame.local, d);
        }
        if (type == "Frame") {
            handled = true;
            frame.children.push_back(std::make_unique<FrameNode>());
            return ParseFrame(*frame.children.back(), d);
        }
        if (type == "Mesh") {
            handled = true;
            frame.meshes.emplace_back();
            return ParseMesh(frame.meshes.back(), d);
        }
        if (type == "Material") {
            // A material defined inside a frame can still be named by references.
            handled = true;
            RawMaterial material;
            if (!ParseMaterial(material, d)) return false;
            if (!name.empty()) named_[name] = material;
            return true;
        }
        return true;
    };
    return Children(depth, "Frame", child);
}

bool Parser::ParseMesh(RawMesh& mesh, int depth) {
    uint32_t vertexCount, faceCount;
    if (!ReadVectors(mesh.positions, vertexCount, "the vertex count", "Mesh vertex list",
                     "a vertex coordinate"))
        return false;
    if (!ReadDword(faceCount, "the face count")) return false;
    if (!ReadFaces(mesh.faces, faceCount, "Mesh face list")) return false;
    if (!IndicesBelow(mesh.faces, vertexCount, "Mesh face uses vertex")) return false;
    auto child = [&](std::string_view type, const std::string&, int d, bool& handled) {
        if (type == "MeshNormals" && !mesh.hasNormals) {
            handled = true;
            return ParseNormals(mesh, d);
        }
        if (type == "MeshTextureCoords" && !mesh.hasTexCoords) {
            handled = true;
            return ParseTexCoords(mesh, d);
        }
        if (type == "MeshMaterialList" && !mesh.hasMaterials) {
            handled = true;
            return ParseMaterialList(mesh, d);
        }
        return true;
    };
    return Children(depth, "Mesh", child);
}

bool Parser::ParseNormals(RawMesh& mesh, int depth) {
    uint32_t count, faceCount;
    if (!ReadVectors(mesh.normals, count, "the normal count", "MeshNormals list",
                     "a normal coordinate"))
        return false;
    if (!ReadDword(faceCount, "the face normal count")) return false;
    if (!ReadFaces(mesh.normalFaces, faceCount, "MeshNormals face list")) return false;
    // Normals must cover the faces corner by corner.
    if (mesh.normalFaces.starts != mesh.faces.starts) {
        reason_ = "MeshNormals faces do not match the mesh's faces";
        return false;
    }
    if (!IndicesBelow(mesh.normalFaces, count, "MeshNormals face uses normal")) return false;
    mesh.hasNormals = true;
    return NoChildren(depth, "MeshNormals");
}

bool Parser::ParseTexCoords(RawMesh& mesh, int depth) {
    uint32_t count;
    Token at;
    if (!ReadDword(count, "the texture coordinate count")) return false;
    if (!Peek(at) || !CheckCount(count, 2, "MeshTextureCoords list", at.offset)) return false;
    if (size_t(count) * 3 != mesh.positions.size())
        return Fail("MeshTextureCoords has " + std::to_string(count) + " entries for " +
                        std::to_string(mesh.positions.size() / 3) + " vertices",
                    at.offset);
    mesh.uvs.resize(size_t(count) * 2);
    for (size_t i = 0; i < mesh.uvs.size(); ++i)
        if (!ReadFloat(mesh.uvs[i], "a texture coordinate")) return false;
    mesh.hasTexCoords = true;
    return NoChildren(depth, "MeshTextureCoords");
}

bool Parser::ParseMaterialList(RawMesh& mesh, int depth) {
    uint32_t materialCount, indexCount;
    Token at;
    if (!ReadDword(materialCount, "the material count")) return false;
    if (!ReadDword(indexCount, "the face index count")) return false;
    if (!Peek(at) || !CheckCount(indexCount, 1, "MeshMaterialList", at.offset)) return false;
    std::vector<uint32_t> indexes;
    indexes.reserve(indexCount);
    for (uint32_t i = 0; i < indexCount; ++i) {
        uint32_t index;
        if (!ReadDword(index, "a face material index")) return false;
        if (index >= materialCount)
            return Fail("MeshMaterialList uses material " + std::to_string(index) + " of " +
                            std::to_string(materialCount),
                        at.offset);
        indexes.push_back(index);
    }
    auto child = [&](std::string_view type, const std::string& name, int d, bool& handled) {
        if (type != "Material") return true;
        handled = true;
        MaterialSlot slot;
        slot.name = name;
        if (!ParseMaterial(slot.material, d)) return false;
        if (!name.empty()) named_[name] = slot.material;
        mesh.materials.push_back(std::move(slot));
        return true;
    };
    auto reference = [&](const std::string& name, size_t offset) {
        if (name.empty()) return Fail("material referenced by GUID alone", offset);
        MaterialSlot slot;
        slot.reference = true;
        slot.name = name;
        mesh.materials.push_back(std::move(slot));
        return true;
    };
    if (!Children(depth, "MeshMaterialList", child, reference)) return false;
    if (materialCount == 0) return true; // no materials: the mesh is drawn with the default
    if (mesh.materials.size() < materialCount) {
        reason_ = "MeshMaterialList names " + std::to_string(materialCount) +
                  " materials but holds " + std::to_string(mesh.materials.size());
        return false;
    }
    mesh.materials.resize(materialCount);
    // Fewer indexes than faces: the last one stands for the remaining faces.
    const size_t faces = mesh.faces.Count();
    mesh.faceMaterials.resize(faces);
    for (size_t f = 0; f < faces; ++f)
        mesh.faceMaterials[f] =
            f < indexes.size() ? indexes[f] : (indexes.empty() ? 0 : indexes.back());
    mesh.hasMaterials = true;
    return true;
}

bool Parser::ParseMaterial(RawMaterial& material, int depth) {
    float face[4];
    if (!ReadFloats(face, 4, "a material colour")) return false;
    material.faceColor = {face[0], face[1], face[2], face[3]};
    if (!ReadFloat(material.power, "the material power")) return false;
    if (!ReadFloats(material.specular, 3, "a material colour")) return false;
    if (!ReadFloats(material.emissive, 3, "a material colour")) return false;
    auto child = [&](std::string_view type, const std::string&, int d, bool& handled) {
        if (type != "TextureFilename" && type != "TextureFileName") return true;
        handled = true;
        return ParseTextureFilename(material, d);
    };
    return Children(depth, "Material", child);
}

bool Parser::ParseTextureFilename(RawMaterial& material, int depth) {
    std::string name;
    if (!ReadString(name, "a texture file name")) return false;
    // The first texture of a material counts; an empty name means none.
    if (!material.hasTexture && !name.empty()) {
        if (name.find('\0') != std::string::npos) {
            reason_ = "texture file name holds a zero byte";
            return false;
        }
        material.hasTexture = true;
        material.texture = std::move(name);
    }
    return NoChildren(depth, "TextureFilename");
}

bool Parser::ParseObject(FrameNode& parent, int depth) {
    Token type;
    std::string name;
    Token at;
    if (!Peek(at)) return false;
    if (!Enter(depth, at.offset)) return false;
    if (!ReadObjectHeader(type, name)) return false;
    if (type.text == "Frame") {
        parent.children.push_back(std::make_unique<FrameNode>());
        return ParseFrame(*parent.children.back(), depth);
    }
    if (type.text == "Mesh") {
        parent.meshes.emplace_back();
        return ParseMesh(parent.meshes.back(), depth);
    }
    if (type.text == "Material") {
        RawMaterial material;
        if (!ParseMaterial(material, depth)) return false;
        if (!name.empty()) named_[name] = material;
        return true;
    }
    return SkipBody(depth);
}

bool Parser::ParseFile(FrameNode& root) {
    for (;;) {
        Token t;
        if (!Peek(t)) return false;
        switch (t.kind) {
        case TokenKind::End:
            return true;
        case TokenKind::Template:
            if (!SkipTemplate()) return false;
            break;
        case TokenKind::Name:
            if (!ParseObject(root, 1)) return false;
            break;
        default:
            return Fail(std::string("unexpected ") + KindName(t.kind) + " at the top level",
                        t.offset);
        }
    }
}

// ---- Merging ---------------------------------------------------------------------------

D3DMATERIAL8 ToD3D(const RawMaterial& raw) {
    D3DMATERIAL8 m{};
    m.Diffuse = raw.faceColor;
    m.Specular = {raw.specular[0], raw.specular[1], raw.specular[2], 1.0f};
    m.Emissive = {raw.emissive[0], raw.emissive[1], raw.emissive[2], 1.0f};
    m.Power = raw.power;
    return m;
}

class Assembler {
  public:
    Assembler(MeshData& out, const std::map<std::string, RawMaterial>& named, std::string& reason)
        : out_(out), named_(named), reason_(reason) {}

    bool Frame(const FrameNode& frame, const D3DXMATRIX& parent) {
        D3DXMATRIX world;
        D3DXMatrixMultiply(&world, &frame.local, &parent);
        for (const RawMesh& mesh : frame.meshes)
            if (!Mesh(mesh, world)) return false;
        for (const auto& child : frame.children)
            if (!Frame(*child, world)) return false;
        return true;
    }

  private:
    bool Mesh(const RawMesh& mesh, const D3DXMATRIX& world);
    uint32_t DefaultIndex() {
        if (defaultIndex_ == UINT32_MAX) {
            defaultIndex_ = static_cast<uint32_t>(out_.materials.size());
            out_.materials.push_back(DefaultMaterial());
        }
        return defaultIndex_;
    }

    MeshData& out_;
    const std::map<std::string, RawMaterial>& named_;
    std::string& reason_;
    uint32_t defaultIndex_ = UINT32_MAX;
};

bool Assembler::Mesh(const RawMesh& mesh, const D3DXMATRIX& world) {
    // Materials of this mesh come after those already merged.
    const uint32_t base = static_cast<uint32_t>(out_.materials.size());
    if (mesh.hasMaterials) {
        for (const MaterialSlot& slot : mesh.materials) {
            const RawMaterial* raw = &slot.material;
            if (slot.reference) {
                auto it = named_.find(slot.name);
                if (it == named_.end()) {
                    reason_ = "material {" + slot.name + "} is not defined";
                    return false;
                }
                raw = &it->second;
            }
            MaterialData data;
            data.material = ToD3D(*raw);
            data.hasTexture = raw->hasTexture;
            data.textureFilename = raw->texture;
            out_.materials.push_back(std::move(data));
        }
    }
    const uint32_t meshDefault = mesh.hasMaterials ? 0 : DefaultIndex();

    // Normals turn with the inverse transpose, so scaling frames keep them perpendicular.
    D3DXMATRIX normalMatrix = world, inverse;
    normalMatrix._41 = normalMatrix._42 = normalMatrix._43 = 0.0f;
    float determinant = 0.0f;
    if (D3DXMatrixInverse(&inverse, &determinant, &normalMatrix)) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                normalMatrix.m[r][c] = inverse.m[c][r];
    }
    // A mirroring frame turns the winding over; the corners are swapped back so the outside
    // stays clockwise.
    const bool mirrored = determinant < 0.0f;

    const size_t vertexCount = mesh.positions.size() / 3;
    std::vector<D3DXVECTOR3> positions(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        D3DXVECTOR3 p(mesh.positions[v * 3], mesh.positions[v * 3 + 1], mesh.positions[v * 3 + 2]);
        D3DXVec3TransformCoord(&positions[v], &p, &world);
    }
    std::vector<D3DXVECTOR3> normals;
    if (mesh.hasNormals) {
        normals.resize(mesh.normals.size() / 3);
        for (size_t n = 0; n < normals.size(); ++n) {
            D3DXVECTOR3 raw(mesh.normals[n * 3], mesh.normals[n * 3 + 1], mesh.normals[n * 3 + 2]);
            D3DXVECTOR3 turned;
            D3DXVec3TransformNormal(&turned, &raw, &normalMatrix);
            D3DXVec3Normalize(&normals[n], &turned);
        }
    } else {
        // No normals in the file: each vertex gets the area-weighted mean of its faces' normals.
        normals.assign(vertexCount, D3DXVECTOR3(0, 0, 0));
        for (size_t f = 0; f < mesh.faces.Count(); ++f) {
            const uint32_t* idx = mesh.faces.indices.data() + mesh.faces.starts[f];
            const size_t n = mesh.faces.starts[f + 1] - mesh.faces.starts[f];
            for (size_t k = 1; k + 1 < n; ++k) {
                D3DXVECTOR3 e1 = positions[idx[k]] - positions[idx[0]];
                D3DXVECTOR3 e2 = positions[idx[k + 1]] - positions[idx[0]];
                D3DXVECTOR3 faceNormal;
                D3DXVec3Cross(&faceNormal, &e1, &e2);
                if (mirrored) faceNormal = -faceNormal;
                normals[idx[0]] += faceNormal;
                normals[idx[k]] += faceNormal;
                normals[idx[k + 1]] += faceNormal;
            }
        }
        for (D3DXVECTOR3& n : normals)
            D3DXVec3Normalize(&n, &n);
    }

    // One output vertex per (position, normal) pair used by a face corner.
    std::unordered_map<uint64_t, uint32_t> made;
    auto vertexFor = [&](uint32_t position, uint32_t normal) {
        const uint64_t key = (uint64_t(position) << 32) | normal;
        auto [it, added] = made.emplace(key, static_cast<uint32_t>(out_.vertices.size()));
        if (added) {
            Vertex v{};
            v.position[0] = positions[position].x;
            v.position[1] = positions[position].y;
            v.position[2] = positions[position].z;
            v.normal[0] = normals[normal].x;
            v.normal[1] = normals[normal].y;
            v.normal[2] = normals[normal].z;
            if (mesh.hasTexCoords) {
                v.uv[0] = mesh.uvs[size_t(position) * 2];
                v.uv[1] = mesh.uvs[size_t(position) * 2 + 1];
            }
            out_.vertices.push_back(v);
        }
        return it->second;
    };
    if (mesh.hasTexCoords) out_.hasTexCoords = true;
    for (size_t f = 0; f < mesh.faces.Count(); ++f) {
        const uint32_t start = mesh.faces.starts[f];
        const size_t n = mesh.faces.starts[f + 1] - start;
        const uint32_t attribute = mesh.hasMaterials ? base + mesh.faceMaterials[f] : meshDefault;
        auto corner = [&](size_t k) {
            const uint32_t position = mesh.faces.indices[start + k];
            const uint32_t normal =
                mesh.hasNormals ? mesh.normalFaces.indices[start + k] : position;
            return vertexFor(position, normal);
        };
        // Polygons become fans around their first corner.
        for (size_t k = 1; k + 1 < n; ++k) {
            uint32_t a = corner(0), b = corner(k), c = corner(k + 1);
            if (mirrored) std::swap(b, c);
            out_.indices.insert(out_.indices.end(), {a, b, c});
            out_.attributes.push_back(attribute);
        }
    }
    return true;
}

bool ReadBody(const uint8_t* data, size_t size, MeshData& mesh, std::string& reason) {
    if (size < 16) {
        reason = "file too short for a .x header";
        return false;
    }
    const std::string_view header(reinterpret_cast<const char*>(data), 16);
    if (header.substr(0, 4) != "xof ") {
        reason = "not a .x file (no \"xof \" signature)";
        return false;
    }
    const std::string_view version = header.substr(4, 4);
    if (version != "0302" && version != "0303") {
        reason = "unsupported .x version " + std::string(version);
        return false;
    }
    const std::string_view format = header.substr(8, 4);
    const std::string_view floats = header.substr(12, 4);
    if (floats != "0032" && floats != "0064") {
        reason = "unsupported float size " + std::string(floats);
        return false;
    }
    const bool binary = format == "bin " || format == "bzip";
    const bool compressed = format == "tzip" || format == "bzip";
    if (!binary && !compressed && format != "txt ") {
        reason = "unsupported .x format \"" + std::string(format) + "\"";
        return false;
    }
    std::vector<uint8_t> inflated;
    const uint8_t* body = data + 16;
    size_t bodySize = size - 16;
    if (compressed) {
        std::string why;
        if (!InflateMsZip(body, bodySize, kMaxFileBytes, inflated, why)) {
            reason = why;
            return false;
        }
        body = inflated.data();
        bodySize = inflated.size();
    }

    Tokenizer tokens(body, bodySize, binary, floats == "0064");
    Parser parser(tokens, reason);
    FrameNode root;
    if (!parser.ParseFile(root)) return false;
    Assembler assembler(mesh, parser.NamedMaterials(), reason);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    if (!assembler.Frame(root, identity)) return false;
    if (mesh.attributes.empty()) {
        reason = "the file holds no triangles";
        return false;
    }
    return true;
}

} // namespace

size_t MeshData::SubsetCount() const {
    std::vector<bool> used(materials.size(), false);
    size_t count = 0;
    for (DWORD a : attributes)
        if (a < used.size() && !used[a]) {
            used[a] = true;
            ++count;
        }
    return count;
}

MaterialData DefaultMaterial() {
    MaterialData data;
    data.material = D3DMATERIAL8{};
    data.material.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
    data.material.Specular = {0.5f, 0.5f, 0.5f, 0.0f};
    return data;
}

bool ReadXMemory(const uint8_t* data, size_t size, MeshData& mesh, std::string& reason) {
    mesh = MeshData();
    reason.clear();
    if (size > kMaxFileBytes) {
        reason = "file larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    if (!ReadBody(data, size, mesh, reason)) {
        mesh = MeshData();
        return false;
    }
    return true;
}

bool ReadXFile(const char* path, MeshData& mesh, std::string& reason) {
    mesh = MeshData();
    if (!path) {
        reason = "no file name";
        return false;
    }
    uint64_t size = 0;
    std::string why;
    const int fd = platform::OpenRegularFile(path, O_RDONLY, why, &size);
    if (fd < 0) {
        reason = "cannot open: " + why;
        return false;
    }
    if (size > kMaxFileBytes) {
        close(fd);
        reason = "file larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    size_t got = 0;
    int failure = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failure = errno;
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fd);
    if (got != bytes.size()) {
        reason = std::string("cannot read the whole file: ") +
                 (failure ? std::strerror(failure) : "it ended early");
        return false;
    }
    return ReadXMemory(bytes.data(), bytes.size(), mesh, reason);
}

} // namespace platform::xfile
