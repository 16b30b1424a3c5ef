#include "app/window.h"

#include "app/artwork.h"
#include "app/display_modes.h"
#include "app/error_report.h"
#include "app/gl.h"
#include "app/shell_state.h"
#include "app/sound.h"
#include "app/stop_signals.h"
#include "app/viewport.h"
#include "app/virtual_keys.h"

#include <cstdlib>

namespace {

// The window being built or shown; CreateDemoWindow's caller stores it in MainWindow
// only once creation is over, but failures during creation must still close it.
SDL_Window* DemoWindow = nullptr;
// Whether CreateDemoWindow's own load of the OpenGL library is still to be undone.
bool glLibraryLoaded = false;

constexpr int ErrorStatus = 1;

void releaseWindow()
{
    SDL_ShowCursor(SDL_ENABLE);
    if (DemoWindow) {
        if (RenderContext) {
            SDL_GL_MakeCurrent(DemoWindow, nullptr);
            SDL_GL_DeleteContext(RenderContext);
            RenderContext = nullptr;
        }
        SDL_DestroyWindow(DemoWindow);
        DemoWindow = nullptr;
        MainWindow = nullptr;
    }
    // SDL keeps the library's data until every load is matched by an unload.
    if (glLibraryLoaded) {
        SDL_GL_UnloadLibrary();
        glLibraryLoaded = false;
    }
}

// A failure while the window takes its pixel format and context.
[[noreturn]] void failCreation(const char* text)
{
    const std::string detail = SDL_GetError();
    releaseWindow();
    ReportError("Error", text, detail);
    SDL_Quit();
    std::exit(ErrorStatus);
}

// Without a display SDL falls back to drivers that draw nowhere; a show nobody can see
// or stop is only wanted when such a driver was asked for by name.
bool hasScreen()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    return !invisible || SDL_GetHint(SDL_HINT_VIDEODRIVER) != nullptr;
}

void setWindowIcon(SDL_Window* window)
{
    std::vector<unsigned char> pixels = drawAppIcon();
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), AppIconSize, AppIconSize, 32,
                                                           AppIconSize * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon)
        return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

} // namespace

SDL_Window* CreateDemoWindow(int width, int height, bool fullscreen)
{
    ScreenWidth = width;
    ScreenHeight = height;

    // The show takes the foreground back when it loses it instead of minimising.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return nullptr;
    if (!hasScreen()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display to show the window on (is DISPLAY set?)");
        return nullptr;
    }
    if (SDL_GL_LoadLibrary(nullptr) != 0)
        failCreation("Can't Find A Suitable PixelFormat.");
    glLibraryLoaded = true;

    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    // Placed at the origin: with no window manager a centred window would be off the
    // fullscreen mode's visible area.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    flags |= fullscreen ? SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP : SDL_WINDOW_RESIZABLE;
    DemoWindow = SDL_CreateWindow(WindowTitle, 0, 0, width, height, flags);
    if (!DemoWindow)
        failCreation("Can't Set The PixelFormat.");
    setWindowIcon(DemoWindow);

    RenderContext = SDL_GL_CreateContext(DemoWindow);
    if (!RenderContext)
        failCreation("Can't Create A GL Rendering Context.");
    if (SDL_GL_MakeCurrent(DemoWindow, RenderContext) != 0)
        failCreation("Can't activate GLRC.");
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(DemoWindow, &drawableWidth, &drawableHeight);
    InitGLState(drawableWidth, drawableHeight);

    if (fullscreen)
        EnterFullscreenMode(DemoWindow, ScreenWidth, ScreenHeight);
    else
        EnterWindowedMode(DemoWindow);
    return DemoWindow;
}

void EnterWindowedMode(SDL_Window* window)
{
    if (SDL_SetWindowFullscreen(window, 0) != 0)
        FatalError("can't go into window mode");
    SDL_ShowCursor(SDL_ENABLE);
    SetViewport(ScreenWidth, ScreenHeight);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_GL_MakeCurrent(window, RenderContext);
}

void EnterFullscreenMode(SDL_Window* window, int width, int height)
{
    const int display = 0;
    GrowableArray<DisplayMode> modes;
    const int listed = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < listed && i < MaxDisplayModes; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) != 0)
            break;
        modes.append({mode.w, mode.h, static_cast<int>(SDL_BITSPERPIXEL(mode.format)), mode.refresh_rate});
    }
    const int chosen = chooseFullscreenMode(modes, width, height);
    if (chosen < 0)
        FatalError("screenmode not found");

    SDL_DisplayMode mode;
    SDL_GetDisplayMode(display, chosen, &mode);
    if (SDL_SetWindowDisplayMode(window, &mode) != 0 || SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0)
        FatalError("can't go into fullscreen mode");
    SDL_ShowCursor(SDL_DISABLE);
    SetViewport(width, height);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_GL_MakeCurrent(window, RenderContext);
}

void PumpMessages()
{
    SDL_Event event;
    while (SDL_PollEvent(&event))
        HandleWindowEvent(event);
    if (StopSignal() != 0)
        CloseDemoWindow();
}

void HandleWindowEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const int key = virtualKeyFromSdl(event.key.keysym.sym);
        if (key >= 0)
            KeyState[key] = event.type == SDL_KEYDOWN ? 1 : 0;
        break;
    }
    case SDL_WINDOWEVENT: {
        SDL_Window* window = SDL_GetWindowFromID(event.window.windowID);
        switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            int width = event.window.data1;
            int height = event.window.data2;
            if (window)
                SDL_GL_GetDrawableSize(window, &width, &height);
            SetViewport(width, height);
            break;
        }
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (window)
                SDL_RaiseWindow(window);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            CloseDemoWindow();
        default:
            break;
        }
        break;
    }
    case SDL_QUIT:
        CloseDemoWindow();
    default:
        break;
    }
}

void CloseDemoWindow()
{
    if (DemoWindow)
        SDL_SetWindowFullscreen(DemoWindow, 0);
    SoundClose();
    releaseWindow();
    SDL_Quit();
    std::exit(StopSignalStatus());
}

void FatalError(const char* text)
{
    SDL_ShowCursor(SDL_ENABLE);
    if (DemoWindow)
        SDL_SetWindowFullscreen(DemoWindow, 0);
    releaseWindow();
    ReportError("Taldrex", text);
    SDL_Quit();
    std::exit(ErrorStatus);
}
