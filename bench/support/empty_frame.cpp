// The least a capture can do before its first frame: start, create the same off-screen
// OpenGL context, clear one picture, read it back and write it as frame-000000.png in DIR.
// Usage: taldrex-bench-empty-frame DIR. The start-up benchmark times it beside the player.
#include "demo/frame_pipeline.h"
#include "desktop/sdl_gl.h"
#include "gpu/gl.h"
#include "gpu/gl_extensions.h"

#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: taldrex-bench-empty-frame DIR\n");
        return 2;
    }
    const int width = 1280;
    const int height = 720;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window =
        SDL_CreateWindow("empty frame", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    std::string error;
    if (!context || SDL_GL_MakeCurrent(window, context) != 0 || !InstallRendererFor(RendererKind::Gl, error) ||
        !LoadExtensions()) {
        std::fprintf(stderr, "taldrex-bench-empty-frame: no off-screen OpenGL context: %s\n", SDL_GetError());
        return 1;
    }
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    bool written = WriteCapturedFrame(std::string(argv[1]) + "/frame-000000.png", width, height, pixels);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return written ? 0 : 1;
}
