// The shell's process-wide state: window, context, drawable size, keys and the sound switch.
#pragma once

#include "demo/platform.h" // VK_ESCAPE_KEY

#include <SDL.h>

extern SDL_Window* MainWindow;     // the demo window; null until it is created
extern SDL_GLContext RenderContext; // its OpenGL context, current from creation on
extern int ScreenWidth;             // drawable width last given to SetWindowViewport
extern int ScreenHeight;            // drawable height last given to SetWindowViewport, never 0
extern int KeyState[256];           // 1 while the key is down, by Windows virtual-key code
extern int KeyPressed[256];         // 1 from a press until TakeKeyPress reads it, same codes
extern int NoSound;                 // sound off; raised by choice or failure, never lowered
extern int AudioDelayMs;            // the picture against the music (see DelayedClock)
