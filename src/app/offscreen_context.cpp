#include "app/offscreen_context.h"

bool OffscreenContext::create(const char* title, int width, int height, int alphaBits)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    videoStarted_ = true;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_)
        return false;
    context_ = SDL_GL_CreateContext(window_);
    return context_ && SDL_GL_MakeCurrent(window_, context_) == 0;
}

OffscreenContext::~OffscreenContext()
{
    if (context_) {
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
    }
    if (window_)
        SDL_DestroyWindow(window_);
    if (videoStarted_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
