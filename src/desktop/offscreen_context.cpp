#include "desktop/offscreen_context.h"

#include "desktop/sdl_gl.h"
#include "graph/player_facts.h"

bool OffscreenContext::create(const char* title, int width, int height, int alphaBits, RendererKind kind)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return fail(SDL_GetError());
    videoStarted_ = true;
    RequestContextFor(kind);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, DepthBufferBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // SDL's reason alone for gl, as it always was; gles2's says what it was for.
    const std::string contextFailure =
        kind == RendererKind::Gl ? "" : "no OpenGL ES 2.0 context for the gles2 renderer: ";
    window_ = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_)
        return fail(contextFailure + SDL_GetError());
    context_ = SDL_GL_CreateContext(window_);
    if (!context_ || SDL_GL_MakeCurrent(window_, context_) != 0)
        return fail(contextFailure + SDL_GetError());
    std::string error;
    renderer_ = InstallRendererFor(kind, error);
    if (!renderer_)
        return fail(std::string("the ") + RendererName(kind) + " renderer cannot start: " + error);
    return true;
}

bool OffscreenContext::fail(const std::string& reason)
{
    problem_ = reason;
    SDL_SetError("%s", reason.c_str());
    return false;
}

OffscreenContext::~OffscreenContext()
{
    if (context_) {
        // The renderer's objects belong to this context: released while it is current.
        if (renderer_ && SDL_GL_MakeCurrent(window_, context_) == 0)
            RemoveRenderer(renderer_);
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
    }
    if (window_)
        SDL_DestroyWindow(window_);
    if (videoStarted_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
