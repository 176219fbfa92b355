// koltrep-inspect mesh FILE: the counts of a .x file as the program's reader sees them, before
// the load-time optimisation (which only reorders; it drops no used vertex).
#include "commands.h"

#include <platform/d3dx8/xfile/xfile_reader.h>
#include <platform/i18n/i18n.h>

#include <cstdio>
#include <string>

int RunMeshCommand(int argc, char** argv) {
    if (argc != 1) {
        std::fputs(_("usage: koltrep-inspect mesh FILE\n"), stderr);
        return 1;
    }
    platform::xfile::MeshData mesh;
    std::string reason;
    if (!platform::xfile::ReadXFile(argv[0], mesh, reason)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], reason.c_str());
        return 1;
    }
    std::printf("vertices %zu\n", mesh.vertices.size());
    std::printf("faces %zu\n", mesh.FaceCount());
    std::printf("subsets %zu\n", mesh.SubsetCount());
    std::printf("materials %zu\n", mesh.materials.size());
    for (const auto& material : mesh.materials)
        if (material.hasTexture) std::printf("texture %s\n", material.textureFilename.c_str());
    return 0;
}
