// The demo window: creation with its OpenGL context, the display-mode switches, the
// event pump that keeps KeyState, and the two ways the program ends from the window.
#pragma once

#include <SDL.h>

// The window's title, also the settings dialog's.
constexpr const char* WindowTitle = "Quorin - Taldrex";

// Creates the window (width x height client area; fullscreen switches the display to
// that exact mode) with a double-buffered RGBA context asking for 16-bit colour and
// 16-bit depth, makes the context current, sets the initial GL state and shows the
// window. Returns null when the display cannot be opened (reason in SDL_GetError()).
// Pixel-format, context and mode failures end the program with their message.
SDL_Window* CreateDemoWindow(int width, int height, bool fullscreen);

// Leaves any fullscreen mode, shows the cursor and the window; used by CreateDemoWindow.
void EnterWindowedMode(SDL_Window* window);

// Switches the display to width x height at its deepest colour, hides the cursor and
// shows the window; used by CreateDemoWindow. Ends the program with "screenmode not
// found" or "can't go into fullscreen mode" when that fails.
void EnterFullscreenMode(SDL_Window* window, int width, int height);

// Handles every queued event and returns when the queue is empty; never waits. Closes
// the window (see CloseDemoWindow) when SIGINT or SIGTERM was noted.
void PumpMessages();

// The window's reaction to one event: size -> SetViewport with the drawable size, focus
// lost -> raise again, key down/up -> KeyState, close -> CloseDemoWindow.
void HandleWindowEvent(const SDL_Event& event);

// Desktop mode back, sound closed, cursor shown, context released, then exit status 0,
// or 130 or 143 when SIGINT or SIGTERM asked for the end.
[[noreturn]] void CloseDemoWindow();

// Shows the cursor, closes the window (desktop mode back), reports text and ends the
// program with a non-zero status.
[[noreturn]] void FatalError(const char* text);
