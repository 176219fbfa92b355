// ID3DXMesh held in system memory.
// Implements the mesh's IUnknown, DrawSubset (SetVertexShader + DrawIndexedPrimitive from device
// buffers filled at creation and at every unlock, one call per attribute range; from the arrays
// through DrawIndexedPrimitiveUP when the device gives no buffers), the counts, GetDevice, the
// vertex, index and attribute buffer locks, GetAttributeTable, GenerateAdjacency and Optimize
// (attribute sort, meshoptimizer vertex-cache order per range, compaction through meshoptimizer's
// fetch remap). Limits: vertex formats of position, normal and at most one 2D texture coordinate;
// locks are plain pointers into the arrays (no lock flags honoured); no strip reordering.
#include <platform/d3dx8/d3dx8_mesh_impl.h>

#include <platform/win32/com_object.h>

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <unordered_map>

namespace platform::d3dx {

namespace {

constexpr DWORD kNoFace = 0xFFFFFFFF;
constexpr DWORD kMeshOptionBits = 0x00FFFFFF;
constexpr size_t kMax16BitVertices = 65535;

class SystemMesh final : public platform::ComObject<ID3DXMesh> {
  public:
    SystemMesh(IDirect3DDevice8* device, DWORD options, DWORD fvf, std::vector<BYTE> vertices,
               std::vector<uint32_t> indices, std::vector<DWORD> attributes)
        : device_(device), fvf_(fvf), stride_(FvfStride(fvf)), vertices_(std::move(vertices)),
          attributes_(std::move(attributes)) {
        if (device_) device_->AddRef();
        const size_t vertexCount = vertices_.size() / stride_;
        wide_ = (options & D3DXMESH_32BIT) || vertexCount > kMax16BitVertices;
        options_ = (options & kMeshOptionBits) | (wide_ ? D3DXMESH_32BIT : 0);
        indexCount_ = indices.size();
        if (wide_) {
            indices32_ = std::move(indices);
        } else {
            indices16_.assign(indices.begin(), indices.end());
        }
        RebuildRanges();
        Upload();
    }

    HRESULT DrawSubset(DWORD attribId) override {
        if (!device_ || !indicesValid_) return D3DERR_INVALIDCALL;
        bool shaderSet = false;
        for (const D3DXATTRIBUTERANGE& range : ranges_) {
            if (range.AttribId != attribId || range.FaceCount == 0) continue;
            if (!shaderSet) {
                HRESULT hr = device_->SetVertexShader(fvf_);
                if (FAILED(hr)) return hr;
                if (vertexBuffer_ && indexBuffer_) {
                    device_->SetStreamSource(0, vertexBuffer_, stride_);
                    device_->SetIndices(indexBuffer_, 0);
                }
                shaderSet = true;
            }
            if (vertexBuffer_ && indexBuffer_) {
                HRESULT hr = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, range.VertexStart,
                                                           range.VertexCount, range.FaceStart * 3,
                                                           range.FaceCount);
                if (FAILED(hr)) return hr;
                continue;
            }
            const void* indexData =
                wide_ ? static_cast<const void*>(indices32_.data() + range.FaceStart * 3)
                      : static_cast<const void*>(indices16_.data() + range.FaceStart * 3);
            HRESULT hr = device_->DrawIndexedPrimitiveUP(
                D3DPT_TRIANGLELIST, range.VertexStart, range.VertexCount, range.FaceCount,
                indexData, wide_ ? D3DFMT_INDEX32 : D3DFMT_INDEX16, vertices_.data(), stride_);
            if (FAILED(hr)) return hr;
        }
        return D3D_OK;
    }

    DWORD GetNumFaces() override { return static_cast<DWORD>(indexCount_ / 3); }
    DWORD GetNumVertices() override { return static_cast<DWORD>(vertices_.size() / stride_); }
    DWORD GetFVF() override { return fvf_; }
    DWORD GetOptions() override { return options_; }

    HRESULT GetDevice(IDirect3DDevice8** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = device_;
        if (!device_) return D3DERR_INVALIDCALL;
        device_->AddRef();
        return D3D_OK;
    }

    HRESULT LockVertexBuffer(DWORD, BYTE** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        *data = vertices_.data();
        return D3D_OK;
    }
    HRESULT UnlockVertexBuffer() override {
        Upload();
        return D3D_OK;
    }

    HRESULT LockIndexBuffer(DWORD, BYTE** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        *data = wide_ ? reinterpret_cast<BYTE*>(indices32_.data())
                      : reinterpret_cast<BYTE*>(indices16_.data());
        return D3D_OK;
    }
    // The caller may have written anything: the ranges are rebuilt and the indices checked
    // again, so a bad index makes DrawSubset and Optimize refuse instead of reading past the
    // vertices.
    HRESULT UnlockIndexBuffer() override {
        RebuildRanges();
        Upload();
        return D3D_OK;
    }

    HRESULT LockAttributeBuffer(DWORD, DWORD** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        *data = attributes_.data();
        return D3D_OK;
    }
    HRESULT UnlockAttributeBuffer() override {
        RebuildRanges();
        return D3D_OK;
    }

    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override {
        if (!size) return D3DERR_INVALIDCALL;
        if (table)
            std::copy(ranges_.begin(), ranges_.begin() + std::min<size_t>(*size, ranges_.size()),
                      table);
        *size = static_cast<DWORD>(ranges_.size());
        return D3D_OK;
    }

    HRESULT GenerateAdjacency(float epsilon, DWORD* adjacency) override;
    HRESULT Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                     ID3DXBuffer** vertexRemap, ID3DXMesh** optimizedMesh) override;

  private:
    // Faces of an optimised mesh in their new order, with their indices and attributes.
    struct FaceOrder {
        std::vector<uint32_t> order; // new face -> old face
        std::vector<uint32_t> indices;
        std::vector<DWORD> attributes;
    };
    FaceOrder SortByAttribute(bool sort) const;
    bool OrderForVertexCache(FaceOrder& faces) const;
    std::vector<BYTE> Compact(bool compact, std::vector<uint32_t>& indices,
                              std::vector<uint32_t>& vertexOrder) const;
    void CarryAdjacency(const DWORD* adjacencyIn, const FaceOrder& faces,
                        const std::vector<uint32_t>& vertexOrder, DWORD* adjacencyOut) const;

    ~SystemMesh() override {
        ReleaseBuffers();
        if (device_) device_->Release();
    }

    void ReleaseBuffers() {
        if (vertexBuffer_) vertexBuffer_->Release();
        if (indexBuffer_) indexBuffer_->Release();
        vertexBuffer_ = nullptr;
        indexBuffer_ = nullptr;
    }

    // Copies the vertices and indices into device buffers, which every draw then uses as they
    // are. Without them (no device, or the device refused) draws read the arrays themselves.
    void Upload() {
        if (!device_) return;
        const size_t indexBytes = indexCount_ * (wide_ ? 4 : 2);
        if (vertices_.empty() || indexBytes == 0 || vertices_.size() > 0x3FFFFFFF ||
            indexBytes > 0x3FFFFFFF) {
            ReleaseBuffers();
            return;
        }
        if (!FillBuffers(indexBytes)) ReleaseBuffers();
    }

    bool FillBuffers(size_t indexBytes) {
        const UINT vertexLength = static_cast<UINT>(vertices_.size());
        const UINT indexLength = static_cast<UINT>(indexBytes);
        D3DVERTEXBUFFER_DESC vertexDesc{};
        if (vertexBuffer_ &&
            (FAILED(vertexBuffer_->GetDesc(&vertexDesc)) || vertexDesc.Size != vertexLength))
            ReleaseBuffers();
        if (!vertexBuffer_ &&
            FAILED(device_->CreateVertexBuffer(vertexLength, D3DUSAGE_WRITEONLY, fvf_,
                                               D3DPOOL_MANAGED, &vertexBuffer_)))
            return false;
        D3DINDEXBUFFER_DESC indexDesc{};
        if (indexBuffer_ &&
            (FAILED(indexBuffer_->GetDesc(&indexDesc)) || indexDesc.Size != indexLength))
            indexBuffer_->Release(), indexBuffer_ = nullptr;
        if (!indexBuffer_ &&
            FAILED(device_->CreateIndexBuffer(indexLength, D3DUSAGE_WRITEONLY,
                                              wide_ ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                              D3DPOOL_MANAGED, &indexBuffer_)))
            return false;
        BYTE* target = nullptr;
        if (FAILED(vertexBuffer_->Lock(0, vertexLength, &target, 0))) return false;
        std::memcpy(target, vertices_.data(), vertexLength);
        vertexBuffer_->Unlock();
        if (FAILED(indexBuffer_->Lock(0, indexLength, &target, 0))) return false;
        std::memcpy(target,
                    wide_ ? static_cast<const void*>(indices32_.data())
                          : static_cast<const void*>(indices16_.data()),
                    indexLength);
        indexBuffer_->Unlock();
        return true;
    }

    uint32_t Index(size_t i) const { return wide_ ? indices32_[i] : indices16_[i]; }

    std::vector<uint32_t> Indices() const {
        std::vector<uint32_t> all(indexCount_);
        for (size_t i = 0; i < indexCount_; ++i)
            all[i] = Index(i);
        return all;
    }

    // One range per run of faces with the same attribute, in face order. A mesh whose
    // attributes are sorted has one range per subset, so a subset draws with one call.
    void RebuildRanges() {
        ranges_.clear();
        const size_t vertexCount = vertices_.size() / stride_;
        indicesValid_ = true;
        for (size_t i = 0; i < indexCount_; ++i)
            if (Index(i) >= vertexCount) indicesValid_ = false;
        const size_t faces = indexCount_ / 3;
        size_t start = 0;
        while (start < faces) {
            size_t end = start + 1;
            while (end < faces && attributes_[end] == attributes_[start])
                ++end;
            uint32_t low = UINT32_MAX, high = 0;
            for (size_t i = start * 3; i < end * 3; ++i) {
                low = std::min(low, Index(i));
                high = std::max(high, Index(i));
            }
            D3DXATTRIBUTERANGE range;
            range.AttribId = attributes_[start];
            range.FaceStart = static_cast<DWORD>(start);
            range.FaceCount = static_cast<DWORD>(end - start);
            range.VertexStart = low;
            range.VertexCount = high >= low ? high - low + 1 : 0;
            ranges_.push_back(range);
            start = end;
        }
    }

    const float* Position(uint32_t vertex) const {
        return reinterpret_cast<const float*>(vertices_.data() + size_t(vertex) * stride_);
    }

    IDirect3DDevice8* device_;
    DWORD options_ = 0;
    DWORD fvf_;
    DWORD stride_;
    std::vector<BYTE> vertices_;
    bool wide_ = false;
    size_t indexCount_ = 0;
    std::vector<uint16_t> indices16_;
    std::vector<uint32_t> indices32_;
    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> ranges_;
    bool indicesValid_ = true;
    IDirect3DVertexBuffer8* vertexBuffer_ = nullptr;
    IDirect3DIndexBuffer8* indexBuffer_ = nullptr;
};

// Grid cell of a coordinate for the position match; huge and non-finite values share the
// outermost cells instead of overflowing the conversion.
int64_t Cell(float value, float epsilon) {
    double q = std::floor(double(value) / double(epsilon));
    if (std::isnan(q)) return 0;
    q = std::clamp(q, -1e15, 1e15);
    return static_cast<int64_t>(q);
}

struct CellKey {
    int64_t x, y, z;
    bool operator==(const CellKey&) const = default;
};
struct CellHash {
    size_t operator()(const CellKey& k) const {
        return std::hash<int64_t>()(k.x * 73856093 ^ k.y * 19349663 ^ k.z * 83492791);
    }
};

// Each vertex is given the first vertex whose position lies within epsilon on every axis
// (its point representative). With the cell size epsilon, two representatives never share a
// cell, so each vertex looks at no more than 27 candidates.
std::vector<uint32_t> PointRepresentatives(size_t vertexCount,
                                           const std::function<const float*(uint32_t)>& at,
                                           float epsilon) {
    std::vector<uint32_t> representative(vertexCount);
    if (!(epsilon > 0.0f) || !std::isfinite(epsilon)) {
        struct Key {
            float x, y, z;
            bool operator==(const Key& o) const { return std::memcmp(this, &o, sizeof(Key)) == 0; }
        };
        struct KeyHash {
            size_t operator()(const Key& k) const {
                uint32_t b[3];
                std::memcpy(b, &k, sizeof b);
                return (size_t(b[0]) * 73856093) ^ (size_t(b[1]) * 19349663) ^
                       (size_t(b[2]) * 83492791);
            }
        };
        std::unordered_map<Key, uint32_t, KeyHash> first;
        for (uint32_t v = 0; v < vertexCount; ++v) {
            const float* p = at(v);
            // -0 and +0 are the same point.
            Key key{p[0] + 0.0f, p[1] + 0.0f, p[2] + 0.0f};
            representative[v] = first.emplace(key, v).first->second;
        }
        return representative;
    }
    std::unordered_map<CellKey, uint32_t, CellHash> cells;
    for (uint32_t v = 0; v < vertexCount; ++v) {
        const float* p = at(v);
        const CellKey home{Cell(p[0], epsilon), Cell(p[1], epsilon), Cell(p[2], epsilon)};
        representative[v] = v;
        bool found = false;
        for (int dx = -1; dx <= 1 && !found; ++dx)
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dz = -1; dz <= 1 && !found; ++dz) {
                    auto it = cells.find({home.x + dx, home.y + dy, home.z + dz});
                    if (it == cells.end()) continue;
                    const float* q = at(it->second);
                    if (std::fabs(p[0] - q[0]) <= epsilon && std::fabs(p[1] - q[1]) <= epsilon &&
                        std::fabs(p[2] - q[2]) <= epsilon) {
                        representative[v] = it->second;
                        found = true;
                    }
                }
        if (!found) cells.emplace(home, v);
    }
    return representative;
}

// A triangle's corners rotated to start at the smallest, keeping the winding, so a triangle
// and its reverse (a two-sided face) stay apart.
struct Corners {
    uint32_t a, b, c;
    bool operator==(const Corners&) const = default;
};
struct CornersHash {
    size_t operator()(const Corners& t) const {
        return (size_t(t.a) * 73856093) ^ (size_t(t.b) * 19349663) ^ (size_t(t.c) * 83492791);
    }
};
Corners CornersOf(const uint32_t* t) {
    const int first = t[0] <= t[1] && t[0] <= t[2] ? 0 : (t[1] <= t[2] ? 1 : 2);
    return Corners{t[first], t[(first + 1) % 3], t[(first + 2) % 3]};
}

} // namespace

// Two faces are neighbours across an edge when its two ends match by position (within
// epsilon). Faces are paired on an edge first with the opposite direction (consistent winding),
// then with the same; a third face on an edge stays without a neighbour there.
HRESULT SystemMesh::GenerateAdjacency(float epsilon, DWORD* adjacency) {
    if (!adjacency || !indicesValid_) return D3DERR_INVALIDCALL;
    const size_t faces = indexCount_ / 3;
    const std::vector<uint32_t> rep = PointRepresentatives(
        vertices_.size() / stride_, [this](uint32_t v) { return Position(v); }, epsilon);
    std::fill(adjacency, adjacency + faces * 3, kNoFace);
    std::unordered_map<uint64_t, std::vector<uint32_t>> open; // directed edge -> face*3+edge
    for (size_t f = 0; f < faces; ++f) {
        for (int e = 0; e < 3; ++e) {
            const uint32_t a = rep[Index(f * 3 + e)], b = rep[Index(f * 3 + (e + 1) % 3)];
            if (a == b) continue;
            const uint32_t slot = static_cast<uint32_t>(f * 3 + e);
            auto pairWith = [&](uint64_t key) {
                auto it = open.find(key);
                if (it == open.end() || it->second.empty()) return false;
                const uint32_t other = it->second.back();
                it->second.pop_back();
                if (other / 3 == f) return false;
                adjacency[slot] = other / 3;
                adjacency[other] = static_cast<DWORD>(f);
                return true;
            };
            if (pairWith((uint64_t(b) << 32) | a)) continue;
            if (pairWith((uint64_t(a) << 32) | b)) continue;
            open[(uint64_t(a) << 32) | b].push_back(slot);
        }
    }
    return D3D_OK;
}

HRESULT SystemMesh::Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                             DWORD* faceRemap, ID3DXBuffer** vertexRemap,
                             ID3DXMesh** optimizedMesh) {
    if (!optimizedMesh) return D3DERR_INVALIDCALL;
    *optimizedMesh = nullptr;
    if (vertexRemap) *vertexRemap = nullptr;
    if (!indicesValid_) return D3DERR_INVALIDCALL;

    FaceOrder faces = SortByAttribute(flags & D3DXMESHOPT_ATTRSORT);
    if ((flags & (D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER)) &&
        !OrderForVertexCache(faces))
        return E_FAIL;                 // the optimiser invented a triangle
    std::vector<uint32_t> vertexOrder; // new vertex -> old vertex
    std::vector<BYTE> vertices =
        Compact((flags & D3DXMESHOPT_COMPACT) && !(flags & D3DXMESHOPT_IGNOREVERTS), faces.indices,
                vertexOrder);

    ID3DXBuffer* remapBuffer = nullptr;
    if (vertexRemap) {
        HRESULT hr =
            D3DXCreateBuffer(static_cast<DWORD>(vertexOrder.size() * sizeof(DWORD)), &remapBuffer);
        if (FAILED(hr)) return hr;
        std::memcpy(remapBuffer->GetBufferPointer(), vertexOrder.data(),
                    vertexOrder.size() * sizeof(DWORD));
    }

    ID3DXMesh* result = nullptr;
    const DWORD options = (flags & kMeshOptionBits) | (options_ & D3DXMESH_32BIT);
    HRESULT hr = CreateSystemMesh(device_, options, fvf_, std::move(vertices), faces.indices,
                                  std::move(faces.attributes), &result);
    if (FAILED(hr)) {
        if (remapBuffer) remapBuffer->Release();
        return hr;
    }

    if (faceRemap) std::copy(faces.order.begin(), faces.order.end(), faceRemap);
    if (adjacencyOut) {
        if (adjacencyIn)
            CarryAdjacency(adjacencyIn, faces, vertexOrder, adjacencyOut);
        else
            result->GenerateAdjacency(0.0f, adjacencyOut);
    }
    if (vertexRemap) *vertexRemap = remapBuffer;
    *optimizedMesh = result;
    return D3D_OK;
}

// Faces, in their new order: attribute sort is stable, so faces of one subset keep their
// relative order.
SystemMesh::FaceOrder SystemMesh::SortByAttribute(bool sort) const {
    const size_t faces = indexCount_ / 3;
    FaceOrder out;
    out.order.resize(faces);
    for (size_t f = 0; f < faces; ++f)
        out.order[f] = static_cast<uint32_t>(f);
    if (sort)
        std::stable_sort(out.order.begin(), out.order.end(), [this](uint32_t a, uint32_t b) {
            return attributes_[a] < attributes_[b];
        });
    out.indices.resize(indexCount_);
    out.attributes.resize(faces);
    for (size_t f = 0; f < faces; ++f) {
        for (int k = 0; k < 3; ++k)
            out.indices[f * 3 + k] = Index(out.order[f] * 3 + k);
        out.attributes[f] = attributes_[out.order[f]];
    }
    return out;
}

// Vertex-cache order within each run of one attribute, so subsets stay contiguous. The
// optimiser keeps each triangle's corners but not the triangles' order: track where each
// triangle went by matching its corners. False if a triangle comes back that was not given.
bool SystemMesh::OrderForVertexCache(FaceOrder& out) const {
    const size_t faces = indexCount_ / 3;
    std::vector<uint32_t>& indices = out.indices;
    // Each run is optimised on its own vertices, numbered locally, so many small runs
    // cost no more than one large one.
    std::vector<uint32_t> localOf(vertices_.size() / stride_, ~0u), globalOf, local, scratch;
    size_t start = 0;
    while (start < faces) {
        size_t end = start + 1;
        while (end < faces && out.attributes[end] == out.attributes[start])
            ++end;
        const size_t count = (end - start) * 3;
        globalOf.clear();
        local.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t v = indices[start * 3 + i];
            if (localOf[v] == ~0u) {
                localOf[v] = static_cast<uint32_t>(globalOf.size());
                globalOf.push_back(v);
            }
            local[i] = localOf[v];
        }
        for (uint32_t v : globalOf)
            localOf[v] = ~0u;
        scratch.resize(count);
        meshopt_optimizeVertexCache(scratch.data(), local.data(), count, globalOf.size());
        for (size_t i = 0; i < count; ++i)
            scratch[i] = globalOf[scratch[i]];
        // Map each output triangle back to its input one by its corners.
        std::unordered_map<Corners, std::vector<uint32_t>, CornersHash> byCorners;
        for (size_t f = end; f-- > start;)
            byCorners[CornersOf(&indices[f * 3])].push_back(out.order[f]);
        std::vector<uint32_t> newOrder(end - start);
        for (size_t f = 0; f < end - start; ++f) {
            std::vector<uint32_t>& candidates = byCorners[CornersOf(&scratch[f * 3])];
            if (candidates.empty()) return false;
            newOrder[f] = candidates.back();
            candidates.pop_back();
        }
        std::copy(scratch.begin(), scratch.end(), indices.begin() + start * 3);
        std::copy(newOrder.begin(), newOrder.end(), out.order.begin() + start);
        start = end;
    }
    return true;
}

// With compact set, vertices in order of first use through the fetch remap, unused ones
// dropped, and the indices renumbered; otherwise the vertices as they are. vertexOrder is
// filled with new vertex -> old vertex.
std::vector<BYTE> SystemMesh::Compact(bool compact, std::vector<uint32_t>& indices,
                                      std::vector<uint32_t>& vertexOrder) const {
    const size_t vertexCount = vertices_.size() / stride_;
    if (!compact) {
        vertexOrder.resize(vertexCount);
        for (size_t v = 0; v < vertexCount; ++v)
            vertexOrder[v] = static_cast<uint32_t>(v);
        return vertices_;
    }
    std::vector<uint32_t> remap(vertexCount);
    const size_t used =
        meshopt_optimizeVertexFetchRemap(remap.data(), indices.data(), indices.size(), vertexCount);
    std::vector<BYTE> vertices(used * stride_);
    vertexOrder.resize(used);
    for (size_t v = 0; v < vertexCount; ++v) {
        if (remap[v] == ~0u) continue;
        std::memcpy(vertices.data() + size_t(remap[v]) * stride_, vertices_.data() + v * stride_,
                    stride_);
        vertexOrder[remap[v]] = static_cast<uint32_t>(v);
    }
    meshopt_remapIndexBuffer(indices.data(), indices.data(), indices.size(), remap.data());
    return vertices;
}

// Carries the given adjacency over to the optimised faces: face numbers through the new order,
// edges through the rotation (if any) of each triangle's corners.
void SystemMesh::CarryAdjacency(const DWORD* adjacencyIn, const FaceOrder& faces,
                                const std::vector<uint32_t>& vertexOrder,
                                DWORD* adjacencyOut) const {
    const size_t count = faces.order.size();
    const std::vector<uint32_t>& indices = faces.indices;
    std::vector<uint32_t> newFaceOf(count);
    for (size_t f = 0; f < count; ++f)
        newFaceOf[faces.order[f]] = static_cast<uint32_t>(f);
    for (size_t f = 0; f < count; ++f) {
        const uint32_t old = faces.order[f];
        int rotation = 0;
        for (int r = 0; r < 3; ++r) {
            if (vertexOrder[indices[f * 3]] == Index(old * 3 + r) &&
                vertexOrder[indices[f * 3 + 1]] == Index(old * 3 + (r + 1) % 3)) {
                rotation = r;
                break;
            }
        }
        for (int k = 0; k < 3; ++k) {
            const DWORD neighbour = adjacencyIn[old * 3 + (rotation + k) % 3];
            adjacencyOut[f * 3 + k] = neighbour < count ? newFaceOf[neighbour] : kNoFace;
        }
    }
}

DWORD FvfStride(DWORD fvf) {
    switch (fvf) {
    case D3DFVF_XYZ:
        return 12;
    case D3DFVF_XYZ | D3DFVF_NORMAL:
        return 24;
    case D3DFVF_XYZ | D3DFVF_TEX1:
        return 20;
    case D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1:
        return 32;
    default:
        return 0;
    }
}

HRESULT CreateSystemMesh(IDirect3DDevice8* device, DWORD options, DWORD fvf,
                         std::vector<BYTE> vertices, const std::vector<uint32_t>& indices,
                         std::vector<DWORD> attributes, ID3DXMesh** mesh) {
    if (!mesh) return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    const DWORD stride = FvfStride(fvf);
    if (stride == 0 || vertices.size() % stride != 0 || indices.size() % 3 != 0 ||
        attributes.size() != indices.size() / 3 || indices.size() / 3 > 0xFFFFFFFFu)
        return D3DERR_INVALIDCALL;
    const size_t vertexCount = vertices.size() / stride;
    if (vertexCount > 0xFFFFFFFFu) return D3DERR_INVALIDCALL;
    for (uint32_t index : indices)
        if (index >= vertexCount) return D3DERR_INVALIDCALL;
    auto* created = new (std::nothrow)
        SystemMesh(device, options, fvf, std::move(vertices), indices, std::move(attributes));
    if (!created) return E_OUTOFMEMORY;
    *mesh = created;
    return D3D_OK;
}

} // namespace platform::d3dx
