// Fixed-function pipeline of the Direct3D 8 stand-in: render states, transforms, lights,
// material and texture stages turned into GL 2.1 state, and the draw calls.
// Implements: DrawPrimitive, DrawIndexedPrimitive, DrawPrimitiveUP, DrawIndexedPrimitiveUP for
// FVF vertices with XYZ or XYZRHW positions, NORMAL, PSIZE, DIFFUSE, SPECULAR and up to two
// sets of 2D texture coordinates.
// How Direct3D's conventions land in GL:
//  - A Direct3D row-vector matrix has the memory layout of the GL column-vector matrix that
//    stands for it, so matrices load unchanged; the projection gets Direct3D's depth range
//    [0, 1] stretched to GL's [-1, 1].
//  - The back buffer keeps GL's row order (bottom row first); pictures are the same way up in
//    both, so the winding seen on screen is the same, and D3DCULL_CCW (drop faces that run
//    counter-clockwise on screen) is glFrontFace(GL_CW) with back faces culled.
//  - XYZRHW vertices are screen positions with pixel centres on whole numbers, y down: they
//    go through a projection that moves them half a pixel onto GL's centres and flips y.
//  - A directional light's GL position is minus its direction, w = 0, set with the view
//    matrix loaded so that it stays in world space.
// Limits: point and spot lights ignore Range; specular only when D3DRS_SPECULARENABLE; the
// RHW of pretransformed vertices is not used for perspective correction; no fog.
#include <platform/d3d8/device_impl.h>
#include <platform/d3d8/resources.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::d3d8 {
namespace {

GLenum CompareToGl(DWORD func) {
    switch (func) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum BlendToGl(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    default:
        return GL_ONE;
    }
}

GLenum PrimitiveToGl(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST:
        return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    default:
        return GL_TRIANGLE_FAN;
    }
}

// A colour as the four floats GL takes; black where `on` is false (specular switched off).
struct GlColor {
    explicit GlColor(const D3DCOLORVALUE& color, bool on = true) {
        if (on) {
            v[0] = color.r;
            v[1] = color.g;
            v[2] = color.b;
            v[3] = color.a;
        }
    }
    GLfloat v[4] = {0, 0, 0, 0};
};

// Texture argument -> GL combiner source and operand.
void ArgumentToGl(DWORD argument, bool alpha, GLint& source, GLint& operand) {
    switch (argument & 0x0f) {
    case D3DTA_TEXTURE:
        source = GL_TEXTURE;
        break;
    case D3DTA_DIFFUSE:
        source = GL_PRIMARY_COLOR;
        break;
    default:
        source = GL_PREVIOUS;
        break;
    }
    const bool complement = (argument & 0x10) != 0;
    const bool replicateAlpha = (argument & 0x20) != 0;
    if (alpha || replicateAlpha)
        operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    else
        operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

// One combiner (colour or alpha) of a stage.
void SetCombiner(bool alpha, DWORD op, DWORD arg1, DWORD arg2) {
    const GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
    const GLenum source0 = alpha ? GL_SOURCE0_ALPHA : GL_SOURCE0_RGB;
    const GLenum source1 = alpha ? GL_SOURCE1_ALPHA : GL_SOURCE1_RGB;
    const GLenum operand0 = alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB;
    const GLenum operand1 = alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB;
    GLint source = 0, operand = 0;
    switch (op) {
    case D3DTOP_SELECTARG1:
    case D3DTOP_SELECTARG2:
        ArgumentToGl(op == D3DTOP_SELECTARG1 ? arg1 : arg2, alpha, source, operand);
        glTexEnvi(GL_TEXTURE_ENV, combine, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, source0, source);
        glTexEnvi(GL_TEXTURE_ENV, operand0, operand);
        break;
    case D3DTOP_DISABLE:
        // An alpha stage switched off while its colour runs passes the alpha through.
        glTexEnvi(GL_TEXTURE_ENV, combine, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, source0, GL_PREVIOUS);
        glTexEnvi(GL_TEXTURE_ENV, operand0, alpha ? GL_SRC_ALPHA : GL_SRC_COLOR);
        break;
    default: // D3DTOP_MODULATE and the operations we do not distinguish
        glTexEnvi(GL_TEXTURE_ENV, combine, GL_MODULATE);
        ArgumentToGl(arg1, alpha, source, operand);
        glTexEnvi(GL_TEXTURE_ENV, source0, source);
        glTexEnvi(GL_TEXTURE_ENV, operand0, operand);
        ArgumentToGl(arg2, alpha, source, operand);
        glTexEnvi(GL_TEXTURE_ENV, source1, source);
        glTexEnvi(GL_TEXTURE_ENV, operand1, operand);
        break;
    }
}

GLint FilterToGl(DWORD filter) {
    return filter == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR;
}

GLint MinFilterToGl(DWORD minFilter, DWORD mipFilter) {
    const bool linear = minFilter != D3DTEXF_POINT;
    switch (mipFilter) {
    case D3DTEXF_POINT:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case D3DTEXF_LINEAR:
    case D3DTEXF_ANISOTROPIC:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    default:
        return linear ? GL_LINEAR : GL_NEAREST;
    }
}

GLint AddressToGl(DWORD address) {
    switch (address) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    default:
        return GL_REPEAT;
    }
}

// Where a buffer offset travels as a pointer argument of the GL array calls.
const uint8_t* OffsetPointer(size_t offset) {
    return reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(offset));
}

} // namespace

FvfLayout DescribeFvf(DWORD fvf) {
    FvfLayout layout;
    const DWORD known = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                        D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    // Bits beyond these would name texture coordinate sizes other than 2 or blend weights.
    if (fvf & ~known) return layout;
    UINT offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        offset = 12;
        break;
    case D3DFVF_XYZRHW:
        layout.rhw = true;
        offset = 16;
        break;
    default:
        return layout;
    }
    if (fvf & D3DFVF_NORMAL) {
        layout.normal = true;
        layout.normalOffset = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuse = true;
        layout.diffuseOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) offset += 4;
    layout.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (layout.texCount > 8) return layout;
    layout.texOffset = offset;
    offset += 8 * layout.texCount;
    layout.stride = offset;
    layout.valid = true;
    return layout;
}

UINT VertexCountFor(D3DPRIMITIVETYPE type, UINT primitives) {
    if (primitives == 0) return 0;
    uint64_t count = 0;
    switch (type) {
    case D3DPT_POINTLIST:
        count = primitives;
        break;
    case D3DPT_LINELIST:
        count = uint64_t(primitives) * 2;
        break;
    case D3DPT_LINESTRIP:
        count = uint64_t(primitives) + 1;
        break;
    case D3DPT_TRIANGLELIST:
        count = uint64_t(primitives) * 3;
        break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        count = uint64_t(primitives) + 2;
        break;
    default:
        return 0;
    }
    return count > 0x7fffffff ? 0 : static_cast<UINT>(count);
}

void Device::ApplyRenderState(D3DRENDERSTATETYPE state) {
    const DWORD value = renderStates_[state];
    switch (state) {
    case D3DRS_ZENABLE:
        if (value != D3DZB_FALSE && depthBuffer_)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        break;
    case D3DRS_FILLMODE:
        glPolygonMode(GL_FRONT_AND_BACK, value == D3DFILL_POINT       ? GL_POINT
                                         : value == D3DFILL_WIREFRAME ? GL_LINE
                                                                      : GL_FILL);
        break;
    case D3DRS_SHADEMODE:
        glShadeModel(value == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
        break;
    case D3DRS_ZWRITEENABLE:
        glDepthMask(value ? GL_TRUE : GL_FALSE);
        break;
    case D3DRS_ALPHATESTENABLE:
        if (value)
            glEnable(GL_ALPHA_TEST);
        else
            glDisable(GL_ALPHA_TEST);
        break;
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
        glAlphaFunc(CompareToGl(renderStates_[D3DRS_ALPHAFUNC]),
                    (renderStates_[D3DRS_ALPHAREF] & 0xff) / 255.0f);
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
        glBlendFunc(BlendToGl(renderStates_[D3DRS_SRCBLEND]),
                    BlendToGl(renderStates_[D3DRS_DESTBLEND]));
        break;
    case D3DRS_CULLMODE:
        if (value == D3DCULL_CW || value == D3DCULL_CCW) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            // The faces kept are the front ones: clockwise on screen for D3DCULL_CCW.
            glFrontFace(value == D3DCULL_CCW ? GL_CW : GL_CCW);
        } else {
            glDisable(GL_CULL_FACE);
        }
        break;
    case D3DRS_ZFUNC:
        glDepthFunc(CompareToGl(value));
        break;
    case D3DRS_DITHERENABLE:
        if (value)
            glEnable(GL_DITHER);
        else
            glDisable(GL_DITHER);
        break;
    case D3DRS_ALPHABLENDENABLE:
        if (value)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        break;
    case D3DRS_AMBIENT: {
        const GLfloat ambient[4] = {((value >> 16) & 0xff) / 255.0f, ((value >> 8) & 0xff) / 255.0f,
                                    (value & 0xff) / 255.0f, ((value >> 24) & 0xff) / 255.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        break;
    }
    case D3DRS_NORMALIZENORMALS:
        if (value)
            glEnable(GL_NORMALIZE);
        else
            glDisable(GL_NORMALIZE);
        break;
    default:
        // The rest (lighting, material sources, specular, fog) is read when drawing.
        break;
    }
}

void Device::ApplyTransforms(bool rhw) {
    if (rhw) {
        glViewport(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
        glDepthRange(0.0, 1.0);
        const float w = static_cast<float>(width_), h = static_cast<float>(height_);
        // x' = 2(x + 0.5)/w - 1, y' = 1 - 2(y + 0.5 - e)/h, z' = 2z - 1 (column-major). Edges
        // on whole coordinates run through pixel centres; Direct3D keeps the row below a top
        // edge and GL, y flipped, would keep the row above the bottom one instead. Lifting y
        // by e = 1/16 pixel (the finest step GL must resolve) settles those ties Direct3D's way.
        const float e = 1.0f / 16.0f;
        const GLfloat screen[16] = {
            2.0f / w, 0,   0, 0,    0, -2.0f / h,       0,
            0,        0,   0, 2.0f, 0, 1.0f / w - 1.0f, 1.0f - (1.0f - 2.0f * e) / h,
            -1.0f,    1.0f};
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(screen);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        sceneProjectionApplied_ = false;
        return;
    }
    if (sceneProjectionApplied_ &&
        std::memcmp(&appliedProjection_, &projection_, sizeof projection_) == 0 &&
        std::memcmp(&appliedViewport_, &viewport_, sizeof viewport_) == 0) {
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(&view_._11);
        return;
    }
    sceneProjectionApplied_ = true;
    appliedProjection_ = projection_;
    appliedViewport_ = viewport_;
    glViewport(static_cast<GLint>(viewport_.X),
               static_cast<GLint>(height_ - viewport_.Y - viewport_.Height),
               static_cast<GLsizei>(viewport_.Width), static_cast<GLsizei>(viewport_.Height));
    glDepthRange(viewport_.MinZ, viewport_.MaxZ);
    // z' = 2z - w: Direct3D's clip depth [0, w] to GL's [-w, w].
    static const GLfloat depthRange[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(depthRange);
    glMultMatrixf(&projection_._11);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&view_._11);
}

void Device::ApplyLights(bool specular) {
    // Light positions are taken through the modelview matrix: the view alone is loaded here.
    GLint next = 0;
    for (const auto& [index, slot] : lights_) {
        if (!slot.enabled || next >= maxGlLights_ || next >= 8) continue;
        const GLenum light = GL_LIGHT0 + static_cast<GLenum>(next++);
        const D3DLIGHT8& l = slot.light;
        glLightfv(light, GL_DIFFUSE, GlColor(l.Diffuse).v);
        glLightfv(light, GL_AMBIENT, GlColor(l.Ambient).v);
        glLightfv(light, GL_SPECULAR, GlColor(l.Specular, specular).v);
        if (l.Type == D3DLIGHT_DIRECTIONAL) {
            const GLfloat position[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0.0f};
            glLightfv(light, GL_POSITION, position);
            glLightf(light, GL_SPOT_CUTOFF, 180.0f);
            glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
            glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
            glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f);
        } else {
            const GLfloat position[4] = {l.Position.x, l.Position.y, l.Position.z, 1.0f};
            glLightfv(light, GL_POSITION, position);
            glLightf(light, GL_CONSTANT_ATTENUATION, l.Attenuation0);
            glLightf(light, GL_LINEAR_ATTENUATION, l.Attenuation1);
            glLightf(light, GL_QUADRATIC_ATTENUATION, l.Attenuation2);
            if (l.Type == D3DLIGHT_SPOT) {
                const GLfloat direction[3] = {l.Direction.x, l.Direction.y, l.Direction.z};
                glLightfv(light, GL_SPOT_DIRECTION, direction);
                const float degrees = std::clamp(l.Phi * 0.5f * 57.29578f, 0.0f, 90.0f);
                glLightf(light, GL_SPOT_CUTOFF, degrees);
                glLightf(light, GL_SPOT_EXPONENT, std::clamp(l.Falloff, 0.0f, 128.0f));
            } else {
                glLightf(light, GL_SPOT_CUTOFF, 180.0f);
            }
        }
        glEnable(light);
    }
    for (GLint unused = next; unused < std::min(maxGlLights_, 8); ++unused)
        glDisable(GL_LIGHT0 + static_cast<GLenum>(unused));
}

void Device::ApplyLighting(const FvfLayout& layout) {
    const bool lit = renderStates_[D3DRS_LIGHTING] && !layout.rhw;
    if (!lit) {
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
        if (!layout.diffuse) glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        if (!layout.rhw) glMultMatrixf(&world_._11);
        return;
    }
    const bool specular = renderStates_[D3DRS_SPECULARENABLE] != 0;
    // GL keeps light positions as the modelview placed them: they are set again only when a
    // light, the view or specular changed.
    if (appliedLightsVersion_ != lightsVersion_ ||
        appliedSpecular_ != renderStates_[D3DRS_SPECULARENABLE]) {
        appliedLightsVersion_ = lightsVersion_;
        appliedSpecular_ = renderStates_[D3DRS_SPECULARENABLE];
        ApplyLights(specular);
    }
    glMultMatrixf(&world_._11);

    glDisable(GL_COLOR_MATERIAL);
    if (!materialApplied_ || appliedMaterialSpecular_ != specular ||
        std::memcmp(&appliedMaterial_, &material_, sizeof material_) != 0) {
        materialApplied_ = true;
        appliedMaterial_ = material_;
        appliedMaterialSpecular_ = specular;
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, GlColor(material_.Ambient).v);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, GlColor(material_.Diffuse).v);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, GlColor(material_.Emissive).v);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, GlColor(material_.Specular, specular).v);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(material_.Power, 0.0f, 128.0f));
    }
    // Vertex colours stand in for material colours as D3DRS_COLORVERTEX and the material
    // sources say, when the vertices have one.
    if (renderStates_[D3DRS_COLORVERTEX] && layout.diffuse) {
        const bool diffuse = renderStates_[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
        const bool ambient = renderStates_[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
        if (diffuse || ambient) {
            glColorMaterial(GL_FRONT_AND_BACK, diffuse && ambient ? GL_AMBIENT_AND_DIFFUSE
                                               : diffuse          ? GL_DIFFUSE
                                                                  : GL_AMBIENT);
            glEnable(GL_COLOR_MATERIAL);
            materialApplied_ = false; // the vertex colours overwrite GL's material
        }
    }
    if (!layout.normal) glNormal3f(0.0f, 0.0f, 0.0f);
    glEnable(GL_LIGHTING);
}

void Device::ApplyStages(const FvfLayout& layout) {
    bool previousOn = true;
    for (UINT stage = 0; stage < kMaxStages; ++stage) {
        const auto& ss = stageStates_[stage];
        glActiveTexture(GL_TEXTURE0 + stage);
        Texture* texture = textures_[stage];
        // A stage without a texture passes the colour it gets: the lit or vertex colour alone.
        const bool on = previousOn && ss[D3DTSS_COLOROP] != D3DTOP_DISABLE && texture;
        previousOn = on;
        if (!on) {
            glDisable(GL_TEXTURE_2D);
            continue;
        }
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture->name());
        texture->ApplySampling(MinFilterToGl(ss[D3DTSS_MINFILTER], ss[D3DTSS_MIPFILTER]),
                               FilterToGl(ss[D3DTSS_MAGFILTER]), AddressToGl(ss[D3DTSS_ADDRESSU]),
                               AddressToGl(ss[D3DTSS_ADDRESSV]));
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        SetCombiner(false, ss[D3DTSS_COLOROP], ss[D3DTSS_COLORARG1], ss[D3DTSS_COLORARG2]);
        SetCombiner(true, ss[D3DTSS_ALPHAOP], ss[D3DTSS_ALPHAARG1], ss[D3DTSS_ALPHAARG2]);
        const UINT set = ss[D3DTSS_TEXCOORDINDEX] & 0xffff;
        if (set >= layout.texCount) glMultiTexCoord4f(GL_TEXTURE0 + stage, 0, 0, 0, 1);
    }
    glActiveTexture(GL_TEXTURE0);
}

bool Device::PrepareDraw(const FvfLayout& layout) {
    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    ApplyTransforms(layout.rhw);
    ApplyLighting(layout);
    ApplyStages(layout);
    return true;
}

namespace {
// For buffer-backed draws `base` is null and the array pointers are byte offsets into the bound
// GL buffer: computed as integers, since offsetting a null pointer is undefined.
const void* ArrayAt(const uint8_t* base, size_t offset) {
    return reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(base) + offset);
}
} // namespace

void Device::BindArrays(const FvfLayout& layout, const uint8_t* base, UINT stride,
                        UINT vertexCount) {
    const GLsizei s = static_cast<GLsizei>(stride);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, s, base);
    if (layout.normal) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, s, ArrayAt(base, layout.normalOffset));
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (layout.diffuse) {
        glEnableClientState(GL_COLOR_ARRAY);
        if (context_->bgraColorArrays()) {
            glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, s, ArrayAt(base, layout.diffuseOffset));
        } else {
            // Only client memory reaches here: the GL without BGRA arrays gets converted
            // colours (buffer-backed draws pass their system-memory copy).
            colorScratch_.resize(size_t(vertexCount) * 4);
            for (UINT i = 0; i < vertexCount; ++i) {
                const uint8_t* c = base + size_t(i) * stride + layout.diffuseOffset;
                uint8_t* out = &colorScratch_[size_t(i) * 4];
                out[0] = c[2];
                out[1] = c[1];
                out[2] = c[0];
                out[3] = c[3];
            }
            GLint bound = 0;
            glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, colorScratch_.data());
            glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(bound));
        }
    } else {
        glDisableClientState(GL_COLOR_ARRAY);
    }
    for (UINT stage = 0; stage < kMaxStages; ++stage) {
        glClientActiveTexture(GL_TEXTURE0 + stage);
        const UINT set = stageStates_[stage][D3DTSS_TEXCOORDINDEX] & 0xffff;
        if (set < layout.texCount) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, s, ArrayAt(base, layout.texOffset + 8 * set));
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    glClientActiveTexture(GL_TEXTURE0);
}

void Device::BindBufferArrays(const FvfLayout& layout, const BufferStore& store, size_t offset,
                              UINT stride, UINT vertexCount) {
    glBindBuffer(GL_ARRAY_BUFFER, store.name());
    if (layout.diffuse && !context_->bgraColorArrays()) {
        // Converted colours live in client memory: nothing here can be kept.
        arraysApplied_ = false;
        BindArrays(layout, store.bytes().data() + offset, stride, vertexCount);
        return;
    }
    const ArrayBinding wanted{store.name(),
                              fvf_,
                              stride,
                              offset,
                              {stageStates_[0][D3DTSS_TEXCOORDINDEX] & 0xffff,
                               stageStates_[1][D3DTSS_TEXCOORDINDEX] & 0xffff}};
    if (arraysApplied_ && wanted == appliedArrays_) return;
    BindArrays(layout, OffsetPointer(offset), stride, vertexCount);
    appliedArrays_ = wanted;
    arraysApplied_ = true;
}

void Device::UnbindArrays() {
    // The index buffer stays bound: binding it is part of the arrays' state in GL, which a
    // change makes the driver check again; the draws from user memory unbind it themselves.
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

namespace {
// Vertices of `stride` bytes that fit in `bytes` when the last needs only `vertexSize`.
UINT VerticesIn(size_t bytes, UINT stride, UINT vertexSize) {
    if (stride == 0 || bytes < vertexSize) return 0;
    return static_cast<UINT>(std::min<size_t>((bytes - vertexSize) / stride + 1, 0x7fffffff));
}

// Largest index of `count` indices; false when one reaches `limit`.
bool IndicesBelow(const uint8_t* indices, D3DFORMAT format, UINT count, uint64_t limit) {
    if (format == D3DFMT_INDEX16) {
        for (UINT i = 0; i < count; ++i) {
            uint16_t index;
            std::memcpy(&index, indices + size_t(i) * 2, 2);
            if (index >= limit) return false;
        }
    } else {
        for (UINT i = 0; i < count; ++i) {
            uint32_t index;
            std::memcpy(&index, indices + size_t(i) * 4, 4);
            if (index >= limit) return false;
        }
    }
    return true;
}
} // namespace

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    const FvfLayout layout = DescribeFvf(fvf_);
    const UINT count = VertexCountFor(type, primitiveCount);
    if (!layout.valid || count == 0 || !streamSource_ || streamStride_ < layout.stride)
        return D3DERR_INVALIDCALL;
    const BufferStore& store = streamSource_->store();
    if (store.locked()) return D3DERR_INVALIDCALL;
    streamSource_->Upload();
    const UINT available = VerticesIn(store.bytes().size(), streamStride_, layout.stride);
    if (startVertex > available || count > available - startVertex) return D3DERR_INVALIDCALL;

    PrepareDraw(layout);
    BindBufferArrays(layout, store, 0, streamStride_, available);
    glDrawArrays(PrimitiveToGl(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
    UnbindArrays();
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT, UINT, UINT startIndex,
                                     UINT primitiveCount) {
    const FvfLayout layout = DescribeFvf(fvf_);
    const UINT count = VertexCountFor(type, primitiveCount);
    if (!layout.valid || count == 0 || !streamSource_ || !indices_ || streamStride_ < layout.stride)
        return D3DERR_INVALIDCALL;
    const BufferStore& vertices = streamSource_->store();
    const BufferStore& indices = indices_->store();
    if (vertices.locked() || indices.locked()) return D3DERR_INVALIDCALL;
    streamSource_->Upload();
    const UINT indexSize = indices_->format() == D3DFMT_INDEX16 ? 2 : 4;
    const size_t indexCount = indices.bytes().size() / indexSize;
    if (startIndex > indexCount || count > indexCount - startIndex) return D3DERR_INVALIDCALL;
    const UINT available = VerticesIn(vertices.bytes().size(), streamStride_, layout.stride);
    // Indices are checked against the vertices there are: GL would read past the buffer.
    if (baseVertexIndex_ >= available) return D3DERR_INVALIDCALL;
    // Only a buffer holding an index past the vertices needs its drawn range looked at.
    if (indices_->largestIndex() >= available - baseVertexIndex_ &&
        !IndicesBelow(indices.bytes().data() + size_t(startIndex) * indexSize, indices_->format(),
                      count, available - baseVertexIndex_))
        return D3DERR_INVALIDCALL;

    PrepareDraw(layout);
    BindBufferArrays(layout, vertices, size_t(baseVertexIndex_) * streamStride_, streamStride_,
                     available - baseVertexIndex_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.name());
    glDrawElements(PrimitiveToGl(type), static_cast<GLsizei>(count),
                   indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                   OffsetPointer(size_t(startIndex) * indexSize));
    UnbindArrays();
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                UINT stride) {
    const FvfLayout layout = DescribeFvf(fvf_);
    const UINT count = VertexCountFor(type, primitiveCount);
    if (!layout.valid || count == 0 || !vertexData || stride < layout.stride)
        return D3DERR_INVALIDCALL;
    // As in Direct3D 8, drawing from user memory leaves no stream or index source set.
    streamSource_ = nullptr;
    streamStride_ = 0;
    indices_ = nullptr;
    PrepareDraw(layout);
    arraysApplied_ = false;
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    BindArrays(layout, static_cast<const uint8_t*>(vertexData), stride, count);
    glDrawArrays(PrimitiveToGl(type), 0, static_cast<GLsizei>(count));
    UnbindArrays();
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                       UINT primitiveCount, const void* indexData,
                                       D3DFORMAT indexFormat, const void* vertexData, UINT stride) {
    const FvfLayout layout = DescribeFvf(fvf_);
    const UINT count = VertexCountFor(type, primitiveCount);
    if (!layout.valid || count == 0 || !vertexData || !indexData || stride < layout.stride ||
        numVertices == 0)
        return D3DERR_INVALIDCALL;
    if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    const uint64_t limit = uint64_t(minVertexIndex) + numVertices;
    if (!IndicesBelow(static_cast<const uint8_t*>(indexData), indexFormat, count, limit))
        return D3DERR_INVALIDCALL;
    streamSource_ = nullptr;
    streamStride_ = 0;
    indices_ = nullptr;
    PrepareDraw(layout);
    arraysApplied_ = false;
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    BindArrays(layout, static_cast<const uint8_t*>(vertexData), stride,
               static_cast<UINT>(std::min<uint64_t>(limit, 0x7fffffff)));
    glDrawElements(PrimitiveToGl(type), static_cast<GLsizei>(count),
                   indexFormat == D3DFMT_INDEX16 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, indexData);
    UnbindArrays();
    return D3D_OK;
}

} // namespace platform::d3d8
