// The .x reader on our corpus (every encoding of each file reads the same) and on hostile input:
// truncation, counts larger than the file, deep nesting, bad tokens, broken compression.
#include <platform/d3dx8/xfile/xfile_reader.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace {

using platform::xfile::MeshData;
using platform::xfile::ReadXFile;
using platform::xfile::ReadXMemory;

std::string Corpus(const std::string& name) {
    return std::string(KOLTREP_SOURCE_DIR) + "/tests/data/x/" + name;
}

std::vector<uint8_t> Bytes(const std::string& name) {
    std::ifstream in(Corpus(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Read(const std::string& text, MeshData& mesh, std::string& reason) {
    return ReadXMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size(), mesh, reason);
}

// Reads text that must fail, and returns the reason.
std::string Refused(const std::string& text) {
    MeshData mesh;
    std::string reason;
    EXPECT_FALSE(Read(text, mesh, reason)) << text.substr(0, 200);
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(mesh.vertices.empty() && mesh.indices.empty());
    return reason;
}

struct Bounds {
    std::array<float, 3> low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
};
Bounds BoundsOf(const MeshData& mesh) {
    Bounds b;
    for (const auto& v : mesh.vertices)
        for (int k = 0; k < 3; ++k) {
            b.low[k] = std::min(b.low[k], v.position[k]);
            b.high[k] = std::max(b.high[k], v.position[k]);
        }
    return b;
}

void ExpectSameMesh(const MeshData& a, const MeshData& b) {
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    EXPECT_EQ(std::memcmp(a.vertices.data(), b.vertices.data(),
                          a.vertices.size() * sizeof(platform::xfile::Vertex)),
              0);
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.attributes, b.attributes);
    EXPECT_EQ(a.hasTexCoords, b.hasTexCoords);
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (size_t i = 0; i < a.materials.size(); ++i) {
        EXPECT_EQ(
            std::memcmp(&a.materials[i].material, &b.materials[i].material, sizeof(D3DMATERIAL8)),
            0);
        EXPECT_EQ(a.materials[i].textureFilename, b.materials[i].textureFilename);
    }
}

// Every face wound clockwise as seen from the side its normals point to.
void ExpectWindingFollowsNormals(const MeshData& mesh) {
    for (size_t f = 0; f < mesh.FaceCount(); ++f) {
        const auto& a = mesh.vertices[mesh.indices[f * 3]];
        const auto& b = mesh.vertices[mesh.indices[f * 3 + 1]];
        const auto& c = mesh.vertices[mesh.indices[f * 3 + 2]];
        float e1[3], e2[3];
        for (int k = 0; k < 3; ++k) {
            e1[k] = b.position[k] - a.position[k];
            e2[k] = c.position[k] - a.position[k];
        }
        const float cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                e1[0] * e2[1] - e1[1] * e2[0]};
        const float dot = cross[0] * (a.normal[0] + b.normal[0] + c.normal[0]) +
                          cross[1] * (a.normal[1] + b.normal[1] + c.normal[1]) +
                          cross[2] * (a.normal[2] + b.normal[2] + c.normal[2]);
        EXPECT_GT(dot, 0) << "face " << f;
    }
}

class XFileEncodings : public ::testing::TestWithParam<std::string> {};

TEST_P(XFileEncodings, EveryEncodingReadsLikeTheTextFile) {
    const std::string stem = GetParam();
    MeshData text;
    std::string reason;
    ASSERT_TRUE(ReadXFile(Corpus(stem + ".x").c_str(), text, reason)) << reason;
    std::vector<std::string> forms = {"_bin", "_tzip", "_bzip"};
    if (stem == "cube") forms.push_back("_bin64");
    for (const std::string& form : forms) {
        SCOPED_TRACE(stem + form);
        MeshData other;
        ASSERT_TRUE(ReadXFile(Corpus(stem + form + ".x").c_str(), other, reason)) << reason;
        ExpectSameMesh(other, text);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, XFileEncodings,
                         ::testing::Values("cube", "frames", "nomaterials", "grid", "exporter_a",
                                           "exporter_b", "exporter_c"));

TEST(XFileCorpus, CubeSplitsCornersByNormalAndKeepsTexture) {
    MeshData mesh;
    std::string reason;
    ASSERT_TRUE(ReadXFile(Corpus("cube.x").c_str(), mesh, reason)) << reason;
    EXPECT_EQ(mesh.vertices.size(), 24u); // 8 corners x 3 face normals
    EXPECT_EQ(mesh.FaceCount(), 12u);     // 6 quads as fans
    EXPECT_EQ(mesh.SubsetCount(), 1u);
    ASSERT_EQ(mesh.materials.size(), 1u);
    EXPECT_TRUE(mesh.materials[0].hasTexture);
    EXPECT_EQ(mesh.materials[0].textureFilename, "cube.png");
    EXPECT_FLOAT_EQ(mesh.materials[0].material.Diffuse.g, 0.6f);
    EXPECT_FLOAT_EQ(mesh.materials[0].material.Specular.r, 0.3f);
    EXPECT_TRUE(mesh.hasTexCoords);
    const Bounds b = BoundsOf(mesh);
    EXPECT_EQ(b.low, (std::array<float, 3>{-1, -1, -1}));
    EXPECT_EQ(b.high, (std::array<float, 3>{1, 1, 1}));
    // Each vertex's normal is its face's axis, and the corner lies on that side.
    for (const auto& v : mesh.vertices) {
        const float along =
            v.position[0] * v.normal[0] + v.position[1] * v.normal[1] + v.position[2] * v.normal[2];
        EXPECT_FLOAT_EQ(along, 1.0f);
    }
    ExpectWindingFollowsNormals(mesh);
}

TEST(XFileCorpus, FramesMoveAndScaleMeshesAndReferencesNameTopLevelMaterials) {
    MeshData mesh;
    std::string reason;
    ASSERT_TRUE(ReadXFile(Corpus("frames.x").c_str(), mesh, reason)) << reason;
    EXPECT_EQ(mesh.vertices.size(), 8u); // pyramid 5 (no file normals: one per corner) + 3
    EXPECT_EQ(mesh.FaceCount(), 7u);     // 4 sides + base quad as 2 + 1
    EXPECT_EQ(mesh.SubsetCount(), 3u);
    ASSERT_EQ(mesh.materials.size(), 3u);
    EXPECT_EQ(mesh.materials[0].textureFilename, "metal.png");
    EXPECT_EQ(mesh.materials[1].textureFilename, "glass.png");
    EXPECT_EQ(mesh.materials[2].textureFilename, "glass.png");
    EXPECT_FLOAT_EQ(mesh.materials[0].material.Power, 20.0f);
    EXPECT_FLOAT_EQ(mesh.materials[1].material.Diffuse.a, 0.5f);
    EXPECT_FLOAT_EQ(mesh.materials[1].material.Emissive.b, 0.1f);
    EXPECT_EQ(mesh.attributes, (std::vector<DWORD>{0, 0, 0, 0, 1, 1, 2}));
    // Pyramid: scaled by 2 in Body, moved by 10 along x in Root; triangle: moved by -5 in z.
    const Bounds b = BoundsOf(mesh);
    EXPECT_EQ(b.low, (std::array<float, 3>{0, 0, -5}));
    EXPECT_EQ(b.high, (std::array<float, 3>{12, 2, 2}));
    const auto& apex = *std::max_element(
        mesh.vertices.begin(), mesh.vertices.begin() + 5,
        [](const auto& a, const auto& b) { return a.position[1] < b.position[1]; });
    EXPECT_EQ((std::array<float, 3>{apex.position[0], apex.position[1], apex.position[2]}),
              (std::array<float, 3>{10, 2, 0}));
    EXPECT_FLOAT_EQ(apex.uv[0], 0.5f);
    // Computed normals of the pyramid point away from its inside.
    for (int v = 0; v < 5; ++v) {
        const auto& p = mesh.vertices[v];
        const float out[3] = {p.position[0] - 10, p.position[1] - 0.5f, p.position[2]};
        EXPECT_GT(out[0] * p.normal[0] + out[1] * p.normal[1] + out[2] * p.normal[2], 0);
    }
}

// Scenes written as modelling tools write them (tests/data/make_x_corpus.py): template declarations
// of every shape, skin, vertex colours and animation read past, two meshes under nested frames,
// in three dialects of separators and comments. All three read as the same mesh.
TEST(XFileCorpus, ExportedScenesReadTheSameInEveryDialect) {
    MeshData first;
    std::string reason;
    ASSERT_TRUE(ReadXFile(Corpus("exporter_a.x").c_str(), first, reason)) << reason;
    EXPECT_EQ(first.FaceCount(), 18u); // hull cube 6 quads, turret 4 sides and a quad base
    ASSERT_EQ(first.materials.size(), 2u);
    EXPECT_EQ(first.materials[0].textureFilename, "paint.png");
    EXPECT_FLOAT_EQ(first.materials[0].material.Diffuse.r, 0.8f);
    EXPECT_FALSE(first.materials[1].hasTexture);
    EXPECT_FLOAT_EQ(first.materials[1].material.Power, 8.0f);
    EXPECT_EQ(first.attributes,
              (std::vector<DWORD>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1}));
    // Hull moved by 10 along x; the turret 2 up from there (its apex 1.5 higher).
    const Bounds b = BoundsOf(first);
    EXPECT_EQ(b.low, (std::array<float, 3>{9, -1, -1}));
    EXPECT_EQ(b.high, (std::array<float, 3>{11, 3.5f, 1}));
    ExpectWindingFollowsNormals(first);
    for (const char* other : {"exporter_b.x", "exporter_c.x"}) {
        SCOPED_TRACE(other);
        MeshData mesh;
        ASSERT_TRUE(ReadXFile(Corpus(other).c_str(), mesh, reason)) << reason;
        ExpectSameMesh(mesh, first);
    }
}

TEST(XFileCorpus, FileWithoutMaterialsGetsTheDefaultOne) {
    MeshData mesh;
    std::string reason;
    ASSERT_TRUE(ReadXFile(Corpus("nomaterials.x").c_str(), mesh, reason)) << reason;
    EXPECT_EQ(mesh.vertices.size(), 4u);
    EXPECT_EQ(mesh.FaceCount(), 4u);
    EXPECT_FALSE(mesh.hasTexCoords);
    ASSERT_EQ(mesh.materials.size(), 1u);
    EXPECT_FALSE(mesh.materials[0].hasTexture);
    const D3DMATERIAL8& m = mesh.materials[0].material;
    EXPECT_EQ(m.Diffuse.r, 0.5f);
    EXPECT_EQ(m.Diffuse.a, 0.0f);
    EXPECT_EQ(m.Specular.b, 0.5f);
    EXPECT_EQ(m.Specular.a, 0.0f);
    EXPECT_EQ(m.Ambient.r + m.Ambient.a + m.Emissive.g + m.Power, 0.0f);
    ExpectWindingFollowsNormals(mesh);
}

// ---- Text forms that are valid but unusual --------------------------------------------

const char* kTriangle = "3;0.0;0.0;0.0;,1.0;0.0;0.0;,0.0;1.0;0.0;;\n";

TEST(XFileText, PolygonsBecomeFansAndShortFacesNothing) {
    MeshData mesh;
    std::string reason;
    // A pentagon, a two-corner "face" and a triangle given with an extra GUID and no name.
    ASSERT_TRUE(Read("xof 0303txt 0064\nMesh <11111111-2222-3333-4444-555555555555> {\n"
                     "5; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;1;0;;\n"
                     "3; 5;0,1,2,3,4;, 2;0,1;, 3;0,2,4;;\n}\n",
                     mesh, reason))
        << reason;
    EXPECT_EQ(mesh.FaceCount(), 4u);
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 2, 4}));
}

TEST(XFileText, FewerMaterialIndexesThanFacesRepeatTheLast) {
    MeshData mesh;
    std::string reason;
    ASSERT_TRUE(Read(std::string("xof 0302txt 0032\nMesh M {\n") + kTriangle +
                         "3; 3;0,1,2;, 3;0,2,1;, 3;1,0,2;;\n"
                         "MeshMaterialList { 2; 2; 0, 1;;\n"
                         "Material { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; }\n"
                         "Material { 0;1;0;1;; 5; 0;0;0;; 0;0;0;; TextureFilename { \"\"; } }\n"
                         "}}\n",
                     mesh, reason))
        << reason;
    EXPECT_EQ(mesh.attributes, (std::vector<DWORD>{0, 1, 1}));
    EXPECT_FALSE(mesh.materials[1].hasTexture); // an empty name is no texture
}

TEST(XFileText, MirroringFrameKeepsFacesClockwiseAlongTheirNormals) {
    MeshData mesh;
    std::string reason;
    ASSERT_TRUE(Read(std::string("xof 0303txt 0032\nFrame F {\n"
                                 "FrameTransformMatrix { -1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n"
                                 "Mesh {\n") +
                         kTriangle +
                         "1; 3;0,1,2;;\n"
                         "MeshNormals { 1; 0;0;1;; 1; 3;0,0,0;; }\n}}\n",
                     mesh, reason))
        << reason;
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_FLOAT_EQ(mesh.vertices[1].position[0], -1.0f);
    ExpectWindingFollowsNormals(mesh);
}

// ---- Hostile input ----------------------------------------------------------------------

TEST(XFileHostile, TruncationAnywhereFailsCleanly) {
    // The cube is one object after the header and templates, so every cut short of its end
    // leaves no complete mesh.
    for (const char* name :
         {"cube.x", "cube_bin.x", "cube_bin64.x", "cube_tzip.x", "cube_bzip.x"}) {
        const std::vector<uint8_t> whole = Bytes(name);
        ASSERT_FALSE(whole.empty()) << name;
        // The text file ends in its last '}' and a line break; cutting those leaves nothing
        // whole to read.
        size_t complete = whole.size();
        if (std::string(name) == "cube.x")
            while (complete > 0 && whole[complete - 1] != '}')
                --complete;
        else
            complete = whole.size();
        for (size_t length = 0; length + 1 < complete; ++length) {
            MeshData mesh;
            std::string reason;
            ASSERT_FALSE(ReadXMemory(whole.data(), length, mesh, reason))
                << name << " cut at " << length;
            ASSERT_FALSE(reason.empty());
        }
    }
}

TEST(XFileHostile, CountsBeyondTheFileFailBeforeAllocating) {
    EXPECT_NE(Refused("xof 0303txt 0032\nMesh { 2147483648; 0;0;0;; 1; 3;0,0,0;; }")
                  .find("claims 2147483648"),
              std::string::npos);
    Refused("xof 0303txt 0032\nMesh { 4294967295; 0;0;0;; }");
    Refused(std::string("xof 0303txt 0032\nMesh {") + kTriangle + "4000000000; 3;0,1,2;; }");
    Refused(std::string("xof 0303txt 0032\nMesh {") + kTriangle + "1; 4000000000;0,1,2;; }");
    Refused(std::string("xof 0303txt 0032\nMesh {") + kTriangle +
            "1; 3;0,1,2;; MeshMaterialList { 1; 4000000000; 0;; } }");
    Refused(std::string("xof 0303txt 0032\nMesh {") + kTriangle +
            "1; 3;0,1,2;; MeshNormals { 3000000000; 0;0;1;; 1; 3;0,0,0;; } }");
    // Binary: an integer list that claims 2^30 values, and a name longer than the file.
    std::string binary = "xof 0303bin 0032";
    binary += std::string("\x01\x00\x04\x00\x00\x00Mesh\x0a\x00\x06\x00\x00\x00\x00\x40", 18);
    binary += std::string(64, '\0');
    EXPECT_NE(Refused(binary).find("longer than the file"), std::string::npos);
    Refused(std::string("xof 0303bin 0032\x01\x00\xff\xff\xff\x7f"
                        "Mesh",
                        26));
}

TEST(XFileHostile, DeepNestingIsRefused) {
    std::string frames = "xof 0303txt 0032\n";
    for (int i = 0; i < 10000; ++i)
        frames += "Frame {\n";
    EXPECT_NE(Refused(frames).find("nested deeper"), std::string::npos);
    std::string unknown = "xof 0303txt 0032\nStuff {";
    for (int i = 0; i < 10000; ++i)
        unknown += "{";
    EXPECT_NE(Refused(unknown).find("nested deeper"), std::string::npos);
    // Just inside the limit is fine.
    std::string fine = "xof 0303txt 0032\n";
    for (int i = 0; i < platform::xfile::kMaxDepth - 1; ++i)
        fine += "Frame {\n";
    fine += std::string("Mesh {") + kTriangle + "1; 3;0,1,2;; }";
    for (int i = 0; i < platform::xfile::kMaxDepth - 1; ++i)
        fine += "}";
    MeshData mesh;
    std::string reason;
    EXPECT_TRUE(Read(fine, mesh, reason)) << reason;
}

TEST(XFileHostile, BadTokensAndStructureAreRefusedWithAReason) {
    const std::string head = "xof 0303txt 0032\n";
    const std::string mesh = std::string("Mesh {") + kTriangle + "1; 3;0,1,2;;";
    EXPECT_NE(Refused(head + "Mesh { @ }").find("unexpected character '@'"), std::string::npos);
    EXPECT_NE(Refused(head + "\n\nMesh { 1.#IND; }").find("malformed number at line 4"),
              std::string::npos);
    Refused(head + mesh + " MeshTextureCoords { 1; \"a\"; } }");
    Refused(head + mesh + " Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; TextureFilename { \"x }}}");
    Refused(head + mesh + " 7; }"); // stray data after the members
    Refused(head + mesh);           // no closing brace
    Refused(head + "}");            // stray brace
    Refused(head + "Mesh Name");    // no body
    Refused(head + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }"); // index past the end
    Refused(head + mesh + " MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }");
    Refused(head + mesh + " MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }");
    Refused(head + mesh + " MeshTextureCoords { 2; 0;0;, 1;1;; } }");
    Refused(head + mesh + " MeshMaterialList { 1; 1; 1;; {M} } }");
    Refused(head + mesh + " MeshMaterialList { 2; 1; 0;; {M} } }");
    EXPECT_NE(Refused(head + mesh + " MeshMaterialList { 1; 1; 0;; {Nowhere} } }").find("Nowhere"),
              std::string::npos);
    Refused(head + "Mesh { 1; 0;0;1e999;; 0; }"); // no finite double
    EXPECT_NE(Refused(head + "Mesh { 1; 0;0;1e300;; 0; }").find("not a finite float"),
              std::string::npos);
    Refused(head + "Header { 1; 0; 1; }"); // no triangles at all
    // Binary: an unknown token code.
    EXPECT_NE(Refused(std::string("xof 0303bin 0032\x99\x00", 18)).find("unknown token 0x0099"),
              std::string::npos);
}

TEST(XFileHostile, HeadersOtherThanOursAreRefused) {
    for (const char* text :
         {"", "xof 0303txt 003", "xox 0303txt 0032 Mesh{}", "xof 0201txt 0032 Mesh{}",
          "xof 0303zip 0032 Mesh{}", "xof 0303txt 0016 Mesh{}"})
        Refused(text);
}

TEST(XFileHostile, BrokenCompressionIsRefused) {
    const std::vector<uint8_t> good = Bytes("cube_tzip.x");
    ASSERT_GT(good.size(), 40u);
    auto refusedBytes = [](std::vector<uint8_t> bytes) {
        MeshData mesh;
        std::string reason;
        EXPECT_FALSE(ReadXMemory(bytes.data(), bytes.size(), mesh, reason));
        EXPECT_FALSE(reason.empty());
        return reason;
    };
    auto patched = [&](size_t at, std::initializer_list<uint8_t> values) {
        std::vector<uint8_t> copy = good;
        std::copy(values.begin(), values.end(), copy.begin() + at);
        return copy;
    };
    // Stated total far beyond the limit; stated total off by one.
    EXPECT_NE(refusedBytes(patched(16, {0xff, 0xff, 0xff, 0xff})).find("more than allowed"),
              std::string::npos);
    refusedBytes(patched(16, {uint8_t(good[16] + 1)}));
    // Block size zero, block larger than 32 KiB, missing "CK", compressed size past the end.
    refusedBytes(patched(20, {0, 0}));
    refusedBytes(patched(20, {0x01, 0x81}));
    refusedBytes(patched(24, {'Q'}));
    refusedBytes(patched(22, {0xff, 0xff}));
    // Corrupt deflate data.
    std::vector<uint8_t> corrupt = good;
    for (size_t i = 26; i < corrupt.size(); i += 7)
        corrupt[i] ^= 0x5a;
    refusedBytes(corrupt);
}

TEST(XFileReader, MissingFilesAndFoldersFail) {
    MeshData mesh;
    std::string reason;
    EXPECT_FALSE(ReadXFile(Corpus("missing.x").c_str(), mesh, reason));
    EXPECT_NE(reason.find("cannot open"), std::string::npos);
    EXPECT_FALSE(ReadXFile(Corpus("").c_str(), mesh, reason));
    EXPECT_FALSE(ReadXFile(nullptr, mesh, reason));
}

// ---- koltrep-inspect mesh ----------------------------------------------------------------

struct ToolRun {
    int status;
    std::string out;
};
ToolRun Inspect(const std::string& arguments) {
    const std::string tool = std::string(KOLTREP_BINARY_DIR) + "/koltrep-inspect";
    ToolRun run{-1, ""};
    FILE* pipe = popen((tool + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.out += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(XFileInspect, MeshCommandPrintsCountsOrOneErrorLine) {
    if (!std::ifstream(std::string(KOLTREP_BINARY_DIR) + "/koltrep-inspect"))
        GTEST_SKIP() << "koltrep-inspect is not built in this folder";
    ToolRun run = Inspect("mesh " + Corpus("frames_tzip.x"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "vertices 8\nfaces 7\nsubsets 3\nmaterials 3\ntexture metal.png\n"
                       "texture glass.png\ntexture glass.png\n");
    run = Inspect("mesh " + Corpus("nomaterials_bzip.x"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "vertices 4\nfaces 4\nsubsets 1\nmaterials 1\n");
    run = Inspect("mesh " + Corpus("missing.x"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    EXPECT_NE(run.out.find("missing.x"), std::string::npos);
    EXPECT_EQ(Inspect("mesh").status, 1);
    EXPECT_EQ(Inspect("").status, 1);
}

} // namespace
