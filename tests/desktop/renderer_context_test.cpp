#include "desktop/offscreen_context.h"
#include "gpu/gl.h"
#include "desktop/sdl_gl.h"
#include "gpu/renderer.h"
#include "support/missing.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// The version string of a context made in a hidden off-screen window after
// RequestContextFor(kind), or nothing when SDL could not make one.
std::optional<std::string> versionOfContextFor(RendererKind kind)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return std::nullopt;
    RequestContextFor(kind);
    std::optional<std::string> version;
    if (SDL_Window* window = SDL_CreateWindow("taldrex test", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN)) {
        if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
            if (const GLubyte* text = glGetString(GL_VERSION))
                version = reinterpret_cast<const char*>(text);
            SDL_GL_MakeCurrent(window, nullptr);
            SDL_GL_DeleteContext(context);
        }
        SDL_DestroyWindow(window);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return version;
}

} // namespace

// Both kinds in one process, gl again after gles2: what one asked for must not stay behind
// for the next. Video stays up throughout, as while another context lives, so that SDL's
// own reset when it starts does not hide what was left.
TEST(RendererContext, EachKindAsksForItsOwnContextWhateverCameBefore)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        SKIP_FOR_MISSING("no off-screen video driver: " << SDL_GetError());
    for (RendererKind kind : {RendererKind::Gl, RendererKind::Gles2, RendererKind::Gl}) {
        const std::optional<std::string> version = versionOfContextFor(kind);
        EXPECT_TRUE(version) << "no off-screen " << RendererName(kind) << " context: " << SDL_GetError();
        if (version) {
            EXPECT_EQ(version->rfind("OpenGL ES", 0) == 0, kind == RendererKind::Gles2)
                << RendererName(kind) << " gave " << *version;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// A context installs its kind's renderer and removes it with itself; one whose renderer
// cannot start fails naming that renderer and leaves none installed.
TEST(RendererContext, TheRendererLivesAsLongAsItsContext)
{
    for (RendererKind kind : {RendererKind::Gl, RendererKind::Gles2}) {
        {
            OffscreenContext context;
            if (context.create("taldrex test", 16, 16, 8, kind)) {
                EXPECT_TRUE(context.problem().empty());
                EXPECT_EQ(ActiveRenderer().kind(), kind) << RendererName(kind);
            } else if (kind == RendererKind::Gl) {
                SKIP_FOR_MISSING("no off-screen OpenGL context: " << context.problem());
            } else {
                EXPECT_NE(context.problem().find("gles2 renderer"), std::string::npos) << context.problem();
                EXPECT_EQ(SDL_GetError(), context.problem());
                EXPECT_EQ(ActiveRenderer().kind(), RendererKind::Gl);
            }
        }
        EXPECT_EQ(ActiveRenderer().kind(), RendererKind::Gl) << "after the " << RendererName(kind) << " context";
    }
}
