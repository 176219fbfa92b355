// Meshes: drawing the hills' 70 x 70 sphere and the links' boxes through the real device on the
// offscreen driver, and loading a .x file. Each has its baselines in the same run:
//   - the sphere's and the boxes' DrawSubset against the same triangles drawn from GL buffer
//     objects made once, with the state set once (what the mesh and the device add to GL);
//   - the sphere's DrawSubset against one raw DrawIndexedPrimitiveUP of the same arrays (what
//     the mesh adds over the device) and against a memcpy of its vertex and index bytes (the
//     least any draw must touch);
//   - loading grid.x (3721 vertices, 7200 triangles) as text and as compressed binary against
//     reading the same file's bytes.
#include <benchmark/benchmark.h>

#include "bench/bench_device.h"

#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"

#include <platform/win32/services.h>

#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Sphere {
    ID3DXMesh* mesh = nullptr;
    std::vector<BYTE> vertices;
    std::vector<BYTE> indices;
    DWORD stride = 0;
};

// Copies of a mesh's vertex bytes (position and normal: 24 a vertex) and 16-bit indices.
void CopyMeshBytes(ID3DXMesh* mesh, std::vector<BYTE>& vertices, std::vector<BYTE>& indices) {
    BYTE* bytes = nullptr;
    mesh->LockVertexBuffer(0, &bytes);
    vertices.assign(bytes, bytes + size_t(mesh->GetNumVertices()) * 24);
    mesh->UnlockVertexBuffer();
    mesh->LockIndexBuffer(0, &bytes);
    indices.assign(bytes, bytes + size_t(mesh->GetNumFaces()) * 3 * sizeof(uint16_t));
    mesh->UnlockIndexBuffer();
}

const Sphere& HillSphere() {
    static Sphere sphere = [] {
        Sphere s;
        if (FAILED(D3DXCreateSphere(d3dDevice, 20.0f, 70, 70, &s.mesh, nullptr))) return s;
        s.stride = 24;
        CopyMeshBytes(s.mesh, s.vertices, s.indices);
        return s;
    }();
    return sphere;
}

bool SphereReady(benchmark::State& state) {
    if (!BenchDeviceReady()) {
        state.SkipWithError("no Direct3D device");
        return false;
    }
    if (!HillSphere().mesh) {
        state.SkipWithError("D3DXCreateSphere failed");
        return false;
    }
    return true;
}

// The draws keep the GPU busy: they are timed on the wall clock, with the CPU time of the whole
// process (the driver's threads too) beside it.
void DrawTiming(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();
}

void BM_SphereBytesCopy(benchmark::State& state) {
    if (!SphereReady(state)) return;
    const Sphere& s = HillSphere();
    std::vector<BYTE> target(s.vertices.size() + s.indices.size());
    for (auto _ : state) {
        std::memcpy(target.data(), s.vertices.data(), s.vertices.size());
        std::memcpy(target.data() + s.vertices.size(), s.indices.data(), s.indices.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(target.size()));
}
BENCHMARK(BM_SphereBytesCopy)->Unit(benchmark::kMicrosecond);

void BM_SphereRawDeviceDraw(benchmark::State& state) {
    if (!SphereReady(state)) return;
    const Sphere& s = HillSphere();
    const UINT vertexCount = static_cast<UINT>(s.vertices.size() / s.stride);
    const UINT faces = static_cast<UINT>(s.indices.size() / 6);
    d3dDevice->BeginScene();
    for (auto _ : state) {
        d3dDevice->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
        d3dDevice->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, vertexCount, faces,
                                          s.indices.data(), D3DFMT_INDEX16, s.vertices.data(),
                                          s.stride);
        glFinish();
    }
    d3dDevice->EndScene();
}
BENCHMARK(BM_SphereRawDeviceDraw)->Apply(DrawTiming);

void BM_SphereDrawSubset(benchmark::State& state) {
    if (!SphereReady(state)) return;
    ID3DXMesh* mesh = HillSphere().mesh;
    d3dDevice->BeginScene();
    for (auto _ : state) {
        benchmark::DoNotOptimize(mesh->DrawSubset(0));
        glFinish();
    }
    d3dDevice->EndScene();
}
BENCHMARK(BM_SphereDrawSubset)->Apply(DrawTiming);

// Baseline of the mesh draws: the same triangles from GL buffer objects made once, with the
// state the device set for its own draw left as it is; only the world matrix changes per draw.
struct StaticBuffers {
    GLuint vertices = 0, indices = 0;
    GLsizei indexCount = 0;
    StaticBuffers(const std::vector<BYTE>& v, const std::vector<BYTE>& i) {
        // The device keeps the arrays it set for its next draws: they come back at the end.
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glGenBuffers(1, &vertices);
        glGenBuffers(1, &indices);
        glBindBuffer(GL_ARRAY_BUFFER, vertices);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(v.size()), v.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(i.size()), i.data(), GL_STATIC_DRAW);
        indexCount = GLsizei(i.size() / 2);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 24, nullptr);
        glNormalPointer(GL_FLOAT, 24, reinterpret_cast<const void*>(12));
    }
    void Draw() const { glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, nullptr); }
    ~StaticBuffers() {
        glPopClientAttrib();
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDeleteBuffers(1, &vertices);
        glDeleteBuffers(1, &indices);
    }
};

void BM_SphereStaticBuffers(benchmark::State& state) {
    if (!SphereReady(state)) return;
    const Sphere& s = HillSphere();
    d3dDevice->BeginScene();
    s.mesh->DrawSubset(0); // leaves the device's GL state for these vertices
    {
        StaticBuffers buffers(s.vertices, s.indices);
        for (auto _ : state) {
            buffers.Draw();
            glFinish();
        }
    }
    d3dDevice->EndScene();
}
BENCHMARK(BM_SphereStaticBuffers)->Apply(DrawTiming);

// The program's links and chassis: 33 small boxes a frame, each under its own world matrix.
constexpr int kBoxes = 33;

// The links' box; null, with the benchmark skipped, when there is no device to make it on.
ID3DXMesh* LinkBox(benchmark::State& state) {
    ID3DXMesh* box = nullptr;
    if (!BenchDeviceReady() || FAILED(D3DXCreateBox(d3dDevice, 2, 1, 1, &box, nullptr))) {
        state.SkipWithError("no device or box");
        return nullptr;
    }
    return box;
}

D3DXMATRIX BoxWorld(int box) {
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, float(box % 11) * 3.0f - 15.0f, float(box / 11) * 3.0f, 30.0f);
    return world;
}

void BM_BoxesDrawSubset(benchmark::State& state) {
    ID3DXMesh* box = LinkBox(state);
    if (!box) return;
    d3dDevice->BeginScene();
    for (auto _ : state) {
        for (int i = 0; i < kBoxes; ++i) {
            const D3DXMATRIX world = BoxWorld(i);
            d3dDevice->SetTransform(D3DTS_WORLD, &world);
            box->DrawSubset(0);
        }
        glFinish();
    }
    d3dDevice->EndScene();
    box->Release();
}
BENCHMARK(BM_BoxesDrawSubset)->Apply(DrawTiming);

void BM_BoxesStaticBuffers(benchmark::State& state) {
    ID3DXMesh* box = LinkBox(state);
    if (!box) return;
    std::vector<BYTE> vertices, indices;
    CopyMeshBytes(box, vertices, indices);
    D3DXMATRIX view;
    d3dDevice->GetTransform(D3DTS_VIEW, &view);
    std::vector<D3DXMATRIX> worldView(kBoxes);
    for (int i = 0; i < kBoxes; ++i) {
        const D3DXMATRIX world = BoxWorld(i);
        D3DXMatrixMultiply(&worldView[size_t(i)], &world, &view);
    }
    d3dDevice->BeginScene();
    box->DrawSubset(0);
    {
        StaticBuffers buffers(vertices, indices);
        glMatrixMode(GL_MODELVIEW);
        for (auto _ : state) {
            for (const D3DXMATRIX& m : worldView) {
                glLoadMatrixf(&m._11);
                buffers.Draw();
            }
            glFinish();
        }
    }
    d3dDevice->EndScene();
    box->Release();
}
BENCHMARK(BM_BoxesStaticBuffers)->Apply(DrawTiming);

std::string Corpus(const char* name) {
    return std::string(KOLTREP_SOURCE_DIR) + "/tests/data/x/" + name;
}

void BM_ReadFileBytes(benchmark::State& state, const char* name) {
    const std::string path = Corpus(name);
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        benchmark::DoNotOptimize(bytes.data());
        if (bytes.empty()) state.SkipWithError("corpus file missing");
    }
}
BENCHMARK_CAPTURE(BM_ReadFileBytes, grid_text, "grid.x")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadFileBytes, grid_bzip, "grid_bzip.x")->Unit(benchmark::kMicrosecond);

void BM_LoadMeshFromX(benchmark::State& state, const char* name) {
    if (!BenchDeviceReady()) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    const std::string path = Corpus(name);
    for (auto _ : state) {
        ID3DXBuffer *adjacency = nullptr, *materials = nullptr;
        DWORD count = 0;
        ID3DXMesh* mesh = nullptr;
        if (FAILED(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, d3dDevice, &adjacency,
                                     &materials, &count, &mesh))) {
            state.SkipWithError("load failed");
            break;
        }
        mesh->Release();
        adjacency->Release();
        materials->Release();
    }
}
BENCHMARK_CAPTURE(BM_LoadMeshFromX, grid_text, "grid.x")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadMeshFromX, grid_bzip, "grid_bzip.x")->Unit(benchmark::kMicrosecond);

} // namespace
