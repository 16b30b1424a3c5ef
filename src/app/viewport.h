// The letterboxed viewport, the default projection and the context's one-time state.
#pragma once

#include <SDL.h>

// What a picture is drawn into: the drawable's size, and the window whose buffers are
// swapped once it is whole (null when nothing is swapped, as off-screen).
struct DrawTarget {
    int width = 0;
    int height = 0;
    SDL_Window* swapWindow = nullptr;
};

// The shell's window as it stands: ScreenWidth x ScreenHeight, swapped in MainWindow
// when there is one.
DrawTarget WindowTarget();

// Sets a 16:9 band of the full width centred vertically (origin negative when the
// window is wider than 16:9), a 45-degree perspective of the window's own aspect, an
// identity model-view, and records the size in ScreenWidth/ScreenHeight. A height of 0
// counts as 1.
void SetViewport(int width, int height);

// Texturing on, black clear colour, depth test with LEQUAL, smooth shading, then SetViewport.
void InitGLState(int width, int height);
