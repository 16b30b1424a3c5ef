// The demo window: creation with its OpenGL context, the display-mode switches, the
// event pump that keeps KeyState, and the two ways the program ends from the window.
#pragma once

#include "demo/platform.h"
#include "gpu/renderer.h"

#include <SDL.h>

#include <string>
#include <vector>

// The window's title, also the settings dialog's.
constexpr const char* WindowTitle = "Quorin - Taldrex";

// Where and how the next window opens: the monitor (SDL's display index, 0 the first),
// whether buffer swaps wait for the display's refresh, and the renderer it draws with
// (its context made for that renderer and the renderer installed; gl by default). Set
// before CreateDemoWindow or CreateDesktopWindow.
extern int WindowDisplay;
extern bool WindowVsync;
extern RendererKind WindowRenderer;

// The window's icon: WindowIconSize x WindowIconSize RGBA pixels, top row first; the
// window system's default icon when empty. Set before CreateDemoWindow or
// CreateDesktopWindow.
constexpr int WindowIconSize = 32;
extern std::vector<unsigned char> WindowIcon;

// Client size of the window that F and Alt+Return return to from fullscreen when the run
// started fullscreen.
constexpr int DefaultWindowWidth = 640;
constexpr int DefaultWindowHeight = 480;

// How long the mouse may rest before the cursor hides, in a window and in fullscreen.
constexpr Uint32 CursorIdleMs = 2000;

// Creates the window (width x height client area; fullscreen switches the display to
// that exact mode) with a double-buffered RGBA context asking for 16-bit colour and
// 16-bit depth, makes the context current, installs WindowRenderer, sets the initial GL
// state and shows the window. Returns null when the display cannot be opened (reason in
// SDL_GetError()). Pixel-format, context, renderer and mode failures end the program with
// their message.
SDL_Window* CreateDemoWindow(int width, int height, bool fullscreen);

// Creates the window borderless over the whole of WindowDisplay at the desktop's own
// resolution, without a mode switch, otherwise as CreateDemoWindow. Returns null when
// the display cannot be opened or WindowDisplay names no monitor (reason in
// SDL_GetError()).
SDL_Window* CreateDesktopWindow();

// SetViewport for a drawable of width x height, recorded in ScreenWidth and ScreenHeight
// (a height of 0 counts as 1): the window's picture size from then on.
void SetWindowViewport(int width, int height);

// Leaves any fullscreen mode, shows the cursor and the window; used by CreateDemoWindow.
void EnterWindowedMode(SDL_Window* window);

// Switches the display to width x height at its deepest colour, hides the cursor and
// shows the window; used by CreateDemoWindow. Ends the program with "screenmode not
// found" or "can't go into fullscreen mode" when that fails.
void EnterFullscreenMode(SDL_Window* window, int width, int height);

// Covers WindowDisplay with the window at the desktop's resolution, hides the cursor and
// shows the window; used by CreateDesktopWindow. Ends the program with "can't go into
// fullscreen mode" when that fails.
void EnterDesktopMode(SDL_Window* window);

// F and Alt+Return: fullscreen of either kind goes back to a resizable window (the
// desktop mode restored), a window goes to desktop fullscreen. Returns false, leaving
// the window as it was, when the window system refuses.
bool ToggleDesktopFullscreen(SDL_Window* window);

// Swap interval for WindowVsync on the current context: adaptive vsync (-1) where the
// driver has it, else plain vsync (1); 0 when vsync is off. Returns the interval SDL
// reports afterwards.
int ApplySwapInterval();

// Handles every queued event and returns when the queue is empty; never waits. Closes
// the window (see CloseDemoWindow) when SIGINT or SIGTERM was noted.
void PumpMessages();

// The window's reaction to one event: size -> SetViewport with the drawable size, focus
// lost -> raise again, key down/up -> KeyState and KeyPressed (F and Alt+Return also
// toggle desktop fullscreen), mouse motion -> cursor shown, mouse buttons, motion and
// wheel -> the pointer events, close -> CloseDemoWindow.
void HandleWindowEvent(const SDL_Event& event);

// True when virtualKey was pressed since the last call for it, even if it has been
// released again; clears the press. Invalid codes give false.
bool TakeKeyPress(int virtualKey);

// Moves the pointer events since the last call into events, oldest first, and returns
// their count. Successive motions arrive as the last of them.
int TakePointerEvents(PointerEvent (&events)[PointerEventCapacity]);

// Keeps the cursor shown however long the mouse rests and in fullscreen (author mode
// works with the mouse), or lets it hide again.
void KeepCursorShown(bool shown);

// Desktop mode back, sound closed, cursor shown, context released, then exit status 0,
// or 130 or 143 when SIGINT or SIGTERM asked for the end.
[[noreturn]] void CloseDemoWindow();

// Shows the cursor, closes the window (desktop mode back), reports text and ends the
// program with a non-zero status.
[[noreturn]] void FatalError(const std::string& text);
