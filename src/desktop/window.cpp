#include "desktop/window.h"

#include "desktop/display_modes.h"
#include "desktop/error_report.h"
#include "desktop/sdl_gl.h"
#include "desktop/shell_probes.h"
#include "desktop/shell_state.h"
#include "desktop/sound.h"
#include "desktop/stop_signals.h"
#include "desktop/virtual_keys.h"
#include "gpu/gl.h"
#include "gpu/viewport.h"
#include "graph/player_facts.h"

#include <cstdlib>

int WindowDisplay = 0;
bool WindowVsync = true;
RendererKind WindowRenderer = RendererKind::Gl;
std::vector<unsigned char> WindowIcon;

namespace {

// The window being built or shown; CreateDemoWindow's caller stores it in MainWindow
// only once creation is over, but failures during creation must still close it.
SDL_Window* DemoWindow = nullptr;
// Whether CreateDemoWindow's own load of the OpenGL library is still to be undone.
bool glLibraryLoaded = false;
// The renderer installed with RenderContext, removed with it.
Renderer* windowRenderer = nullptr;

constexpr int ErrorStatus = 1;

// The place and client size a toggle out of fullscreen gives the window back.
int windowedX = 0;
int windowedY = 0;
int windowedWidth = DefaultWindowWidth;
int windowedHeight = DefaultWindowHeight;

// The tick of the latest mouse movement.
Uint32 lastMotion = 0;
bool cursorKeptShown = false;

// The pointer events not taken yet, oldest first.
PointerEventQueue pointerEvents;

void showCursor(Uint32 now)
{
    lastMotion = now;
    SDL_ShowCursor(SDL_ENABLE);
}

void hideCursor()
{
    if (!cursorKeptShown)
        SDL_ShowCursor(SDL_DISABLE);
}

// Window coordinates to drawable pixels, which differ on high-density displays.
void toDrawable(Uint32 windowId, int& x, int& y)
{
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    int windowWidth = 0;
    int windowHeight = 0;
    if (window)
        SDL_GetWindowSize(window, &windowWidth, &windowHeight);
    if (windowWidth > 0 && windowHeight > 0) {
        x = static_cast<int>(static_cast<long long>(x) * ScreenWidth / windowWidth);
        y = static_cast<int>(static_cast<long long>(y) * ScreenHeight / windowHeight);
    }
}

void notePointer(const SDL_Event& event)
{
    PointerEvent pointer;
    Uint32 windowId = 0;
    if (event.type == SDL_MOUSEMOTION) {
        pointer.x = event.motion.x;
        pointer.y = event.motion.y;
        windowId = event.motion.windowID;
    } else if (event.type == SDL_MOUSEWHEEL) {
        pointer.kind = PointerEvent::Kind::Wheel;
        pointer.wheel = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        SDL_GetMouseState(&pointer.x, &pointer.y);
        windowId = event.wheel.windowID;
    } else {
        pointer.kind = event.type == SDL_MOUSEBUTTONDOWN ? PointerEvent::Kind::Press : PointerEvent::Kind::Release;
        pointer.x = event.button.x;
        pointer.y = event.button.y;
        pointer.button = event.button.button;
        pointer.clicks = event.button.clicks;
        windowId = event.button.windowID;
    }
    toDrawable(windowId, pointer.x, pointer.y);
    pointerEvents.push(pointer);
}

// The viewport of the drawable as it is now: after a mode change the size event may come
// later or, without a window manager, not at all.
void followDrawable(SDL_Window* window)
{
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    SetWindowViewport(width, height);
}

void releaseWindow()
{
    SDL_ShowCursor(SDL_ENABLE);
    if (DemoWindow) {
        if (RenderContext) {
            // The renderer's objects belong to the context: released while it is current.
            if (windowRenderer && SDL_GL_MakeCurrent(DemoWindow, RenderContext) == 0)
                RemoveRenderer(windowRenderer);
            windowRenderer = nullptr;
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

// A failure while the window takes its pixel format, context and renderer.
[[noreturn]] void failCreation(const std::string& text, const std::string& detail)
{
    releaseWindow();
    ReportError("Error", text, detail);
    SDL_Quit();
    std::exit(ErrorStatus);
}

[[noreturn]] void failCreation(const char* text)
{
    failCreation(text, SDL_GetError());
}

// Installs WindowRenderer for the context just made current; a renderer that cannot start
// ends the run, before anything is drawn.
void installRenderer()
{
    std::string error;
    windowRenderer = InstallRendererFor(WindowRenderer, error);
    if (!windowRenderer)
        failCreation(std::string("The ") + RendererName(WindowRenderer) + " renderer cannot start.", error);
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
    if (WindowIcon.size() != size_t(WindowIconSize) * WindowIconSize * 4)
        return;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(WindowIcon.data(), WindowIconSize, WindowIconSize,
                                                           32, WindowIconSize * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon)
        return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

enum class WindowKind { Windowed, Fullscreen, Desktop };

SDL_Window* createWindow(int width, int height, WindowKind kind)
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
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(WindowDisplay, &bounds) != 0) {
        const int displays = SDL_GetNumVideoDisplays();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("display %d not found (this system has %d)", WindowDisplay, displays);
        return nullptr;
    }
    if (kind == WindowKind::Desktop) {
        width = bounds.w;
        height = bounds.h;
        ScreenWidth = width;
        ScreenHeight = height;
    }
    RequestContextFor(WindowRenderer);
    const bool gles2 = WindowRenderer == RendererKind::Gles2;
    if (SDL_GL_LoadLibrary(nullptr) != 0)
        failCreation(gles2 ? "Can't load OpenGL ES 2.0 over EGL for the gles2 renderer."
                           : "Can't Find A Suitable PixelFormat.");
    glLibraryLoaded = true;

    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, DepthBufferBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    // Placed at the display's origin: with no window manager a centred window would be
    // off the fullscreen mode's visible area. Drawable pixels, not points, on HiDPI.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (kind == WindowKind::Fullscreen)
        flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
    else if (kind == WindowKind::Desktop)
        flags |= SDL_WINDOW_BORDERLESS;
    else
        flags |= SDL_WINDOW_RESIZABLE;
    windowedX = bounds.x;
    windowedY = bounds.y;
    if (kind == WindowKind::Windowed) {
        windowedWidth = width;
        windowedHeight = height;
    }
    DemoWindow = SDL_CreateWindow(WindowTitle, bounds.x, bounds.y, width, height, flags);
    if (!DemoWindow)
        failCreation("Can't Set The PixelFormat.");
    setWindowIcon(DemoWindow);

    RenderContext = SDL_GL_CreateContext(DemoWindow);
    if (!RenderContext)
        failCreation(gles2 ? "Can't create an OpenGL ES 2.0 context for the gles2 renderer."
                           : "Can't Create A GL Rendering Context.");
    if (SDL_GL_MakeCurrent(DemoWindow, RenderContext) != 0)
        failCreation("Can't activate GLRC.");
    installRenderer();
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(DemoWindow, &drawableWidth, &drawableHeight);
    InitGLState(drawableWidth, drawableHeight);
    ApplySwapInterval();

    if (kind == WindowKind::Fullscreen)
        EnterFullscreenMode(DemoWindow, ScreenWidth, ScreenHeight);
    else if (kind == WindowKind::Desktop)
        EnterDesktopMode(DemoWindow);
    else
        EnterWindowedMode(DemoWindow);
    return DemoWindow;
}

} // namespace

void SetWindowViewport(int width, int height)
{
    SetViewport(width, height);
    ScreenWidth = width;
    ScreenHeight = height == 0 ? 1 : height;
}

SDL_Window* CreateDemoWindow(int width, int height, bool fullscreen)
{
    return createWindow(width, height, fullscreen ? WindowKind::Fullscreen : WindowKind::Windowed);
}

SDL_Window* CreateDesktopWindow()
{
    return createWindow(DefaultWindowWidth, DefaultWindowHeight, WindowKind::Desktop);
}

void EnterWindowedMode(SDL_Window* window)
{
    if (SDL_SetWindowFullscreen(window, 0) != 0)
        FatalError("can't go into window mode");
    showCursor(SDL_GetTicks());
    SetWindowViewport(ScreenWidth, ScreenHeight);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_GL_MakeCurrent(window, RenderContext);
}

void EnterFullscreenMode(SDL_Window* window, int width, int height)
{
    const int display = WindowDisplay;
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
        FatalError("screenmode not found: " + describeMissingMode(modes, width, height));

    SDL_DisplayMode mode;
    SDL_GetDisplayMode(display, chosen, &mode);
    if (SDL_SetWindowDisplayMode(window, &mode) != 0 || SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0)
        FatalError("can't go into fullscreen mode");
    hideCursor();
    SetWindowViewport(width, height);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_GL_MakeCurrent(window, RenderContext);
}

void EnterDesktopMode(SDL_Window* window)
{
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        FatalError("can't go into fullscreen mode");
    hideCursor();
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_GL_MakeCurrent(window, RenderContext);
    followDrawable(window);
}

bool ToggleDesktopFullscreen(SDL_Window* window)
{
    if (!window)
        return false;
    // Both kinds of fullscreen carry this flag.
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) {
        if (SDL_SetWindowFullscreen(window, 0) != 0)
            return false;
        SDL_SetWindowAlwaysOnTop(window, SDL_FALSE);
        SDL_SetWindowBordered(window, SDL_TRUE);
        SDL_SetWindowResizable(window, SDL_TRUE);
        SDL_SetWindowSize(window, windowedWidth, windowedHeight);
        SDL_SetWindowPosition(window, windowedX, windowedY);
    } else {
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds) != 0)
            return false;
        SDL_GetWindowPosition(window, &windowedX, &windowedY);
        SDL_GetWindowSize(window, &windowedWidth, &windowedHeight);
        // Covers the monitor by itself as well, where no window manager acts on the
        // fullscreen request.
        SDL_SetWindowBordered(window, SDL_FALSE);
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            return false;
    }
    followDrawable(window);
    return true;
}

int ApplySwapInterval()
{
    if (!WindowVsync)
        SDL_GL_SetSwapInterval(0);
    else if (SDL_GL_SetSwapInterval(-1) != 0)
        SDL_GL_SetSwapInterval(1);
    return SDL_GL_GetSwapInterval();
}

void HideIdleCursor(Uint32 now)
{
    if (now - lastMotion >= CursorIdleMs && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE)
        hideCursor();
}

void PumpMessages()
{
    SDL_Event event;
    while (SDL_PollEvent(&event))
        HandleWindowEvent(event);
    HideIdleCursor(SDL_GetTicks());
    if (StopSignal() != 0)
        CloseDemoWindow();
}

bool TakeKeyPress(int virtualKey)
{
    if (virtualKey < 0 || virtualKey >= 256 || KeyPressed[virtualKey] == 0)
        return false;
    KeyPressed[virtualKey] = 0;
    return true;
}

int TakePointerEvents(PointerEvent (&events)[PointerEventCapacity]) { return pointerEvents.take(events); }

void KeepCursorShown(bool shown)
{
    cursorKeptShown = shown;
    if (shown)
        SDL_ShowCursor(SDL_ENABLE);
}

void HandleWindowEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const int key = VirtualKeyFromSdl(event.key.keysym.sym);
        if (key >= 0) {
            KeyState[key] = event.type == SDL_KEYDOWN ? 1 : 0;
            // A press and release between two reads of KeyState would otherwise go unseen.
            if (event.type == SDL_KEYDOWN)
                KeyPressed[key] = 1;
        }
        const SDL_Keysym& pressed = event.key.keysym;
        const bool toggle = pressed.sym == SDLK_f || (pressed.sym == SDLK_RETURN && (pressed.mod & KMOD_ALT));
        if (event.type == SDL_KEYDOWN && !event.key.repeat && toggle) {
            // Keys pressed before the window system gave the window the focus name no window.
            SDL_Window* window = SDL_GetWindowFromID(event.key.windowID);
            ToggleDesktopFullscreen(window ? window : DemoWindow);
        }
        break;
    }
    case SDL_MOUSEMOTION:
        showCursor(SDL_GetTicks());
        notePointer(event);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
        notePointer(event);
        break;
    case SDL_WINDOWEVENT: {
        SDL_Window* window = SDL_GetWindowFromID(event.window.windowID);
        switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            int width = event.window.data1;
            int height = event.window.data2;
            if (window)
                SDL_GL_GetDrawableSize(window, &width, &height);
            SetWindowViewport(width, height);
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

void FatalError(const std::string& text)
{
    SDL_ShowCursor(SDL_ENABLE);
    if (DemoWindow)
        SDL_SetWindowFullscreen(DemoWindow, 0);
    releaseWindow();
    ReportError("Taldrex", text);
    SDL_Quit();
    std::exit(ErrorStatus);
}
