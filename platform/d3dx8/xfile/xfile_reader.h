// Our .x mesh reader: text, binary and MSZIP-compressed files (format "txt ", "bin ", "tzip",
// "bzip"; versions 0302 and 0303; 32- or 64-bit floats). Reads frames with their transforms,
// meshes, normals, texture coordinates, materials (inline or referenced by name) and texture
// file names; every other template is skipped. All meshes of a file are merged into one
// triangle list in the file's root frame.
//
// The file is hostile until checked: every count is compared with the bytes still present
// before anything is allocated for it, nesting is limited, inflated data is bounded, and a
// failure returns false with a one-line reason.
#pragma once

#include <d3d8.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::xfile {

// Largest file (or inflated file) the reader accepts.
constexpr size_t kMaxFileBytes = size_t(64) << 20;
// Deepest nesting of objects (frames, meshes, their children and skipped objects).
constexpr int kMaxDepth = 64;

struct Vertex {
    float position[3];
    float normal[3];
    float uv[2]; // zero when the file has no texture coordinates
};

struct MaterialData {
    D3DMATERIAL8 material;
    bool hasTexture = false;
    std::string textureFilename;
};

struct MeshData {
    bool hasTexCoords = false; // some mesh of the file had texture coordinates
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices; // three per triangle
    std::vector<DWORD> attributes; // one material index per triangle
    std::vector<MaterialData> materials;

    size_t FaceCount() const { return attributes.size(); }
    // Number of materials that have at least one triangle.
    size_t SubsetCount() const;
};

// The material a file without materials gets: diffuse and specular grey 0.5 with alpha 0.
MaterialData DefaultMaterial();

bool ReadXMemory(const uint8_t* data, size_t size, MeshData& mesh, std::string& reason);
bool ReadXFile(const char* path, MeshData& mesh, std::string& reason);

} // namespace platform::xfile
