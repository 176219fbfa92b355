// GL context of the Direct3D 8 stand-in.
// Implements: the GL 2.1 compatibility context behind a device (SDL_GL_CreateContext), the GL
// features the device relies on, and the seams' storage.
// The context lives on a hidden window of its own and visits the program's window only to
// present: the program destroys its window before it releases its last textures, and the
// context must outlive both.
// Limits: a software context ("REF") is asked for through LIBGL_ALWAYS_SOFTWARE; a GL driver
// that was loaded before and ignores it gives its own renderer, and the device kind check then
// refuses it.
#include <platform/d3d8/gl_context.h>
#include <platform/d3d8/seams.h>
#include <platform/i18n/i18n.h>

#include <epoxy/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace platform::d3d8 {

SeamState& Seams() {
    static SeamState state;
    return state;
}

void SetSimulatedAdapters(std::vector<SimulatedAdapter> adapters) {
    Seams().adapters = std::move(adapters);
}

void SetDeviceCreationFailure(DeviceKind kind, bool fail) {
    Seams().failCreation[static_cast<int>(kind)] = fail;
}

void SetCooperativeLevelScript(std::function<HRESULT()> script) {
    Seams().cooperativeLevel = std::move(script);
}

void SetRendererNameOverride(std::optional<std::string> name) {
    Seams().rendererName = std::move(name);
}

void SetCapsAdjustment(std::function<void(D3DCAPS8&)> adjust) {
    Seams().capsAdjustment = std::move(adjust);
}

void SetFullScreenScaling(FullScreenScaling scaling) {
    Seams().fullScreenScaling = scaling;
}

void ResetSeams() {
    Seams() = SeamState{};
}

bool StartVideo() {
    // Once up, SDL's video stays up for the process: taking it down and up again leaks X
    // connections (with GL, a few cycles exhaust them), and the window layer shares it.
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void ReportProblem(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof line, Translate(format), arguments);
    va_end(arguments);
    fprintf(stderr, "Direct3D: %s\n", line);
}

bool IsSoftwareRenderer(const std::string& rendererName) {
    for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (rendererName.find(soft) != std::string::npos) return true;
    return false;
}

std::string EffectiveRendererName(const GlContext& context) {
    if (Seams().rendererName) return *Seams().rendererName;
    return context.renderer();
}

GlContext::~GlContext() {
    if (context_) {
        if (SDL_GL_GetCurrentContext() == context_) SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
    }
    if (window_) SDL_DestroyWindow(window_);
}

std::unique_ptr<GlContext> GlContext::Create(bool software, std::string& error) {
    std::unique_ptr<GlContext> result(new GlContext);
    if (!StartVideo()) {
        error = std::string("SDL video: ") + SDL_GetError();
        return nullptr;
    }

    // The window's own framebuffer only receives the scaled picture; depth lives in the
    // back buffer object.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    result->window_ = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 640,
                                       480, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!result->window_) {
        error = std::string("hidden window: ") + SDL_GetError();
        return nullptr;
    }

    const char* previous = getenv("LIBGL_ALWAYS_SOFTWARE");
    std::string saved = previous ? previous : "";
    if (software) setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    result->context_ = SDL_GL_CreateContext(result->window_);
    if (software) {
        if (previous)
            setenv("LIBGL_ALWAYS_SOFTWARE", saved.c_str(), 1);
        else
            unsetenv("LIBGL_ALWAYS_SOFTWARE");
    }
    if (!result->context_) {
        error = std::string("GL context: ") + SDL_GetError();
        return nullptr;
    }
    result->MakeCurrent();

    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    result->renderer_ = renderer ? renderer : "";
    const int version = epoxy_gl_version();
    if (version < 30 && !epoxy_has_gl_extension("GL_ARB_framebuffer_object")) {
        error = "GL has no framebuffer objects (" + result->renderer_ + ")";
        return nullptr;
    }
    result->bgraColorArrays_ = version >= 32 || epoxy_has_gl_extension("GL_ARB_vertex_array_bgra");
    result->provokingVertex_ = version >= 32 || epoxy_has_gl_extension("GL_ARB_provoking_vertex");
    return result;
}

void GlContext::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() == context_) {
        SDL_Window* current = SDL_GL_GetCurrentWindow();
        // SDL unbinds a window it destroys, so a window still current here still exists.
        if (current == window_ || (current && current == presenting_)) return;
    }
    presenting_ = nullptr;
    SDL_GL_MakeCurrent(window_, context_);
}

void GlContext::MakeCurrentOn(SDL_Window* target) {
    if (SDL_GL_GetCurrentContext() != context_ || SDL_GL_GetCurrentWindow() != target)
        SDL_GL_MakeCurrent(target, context_);
    presenting_ = target;
}

} // namespace platform::d3d8
