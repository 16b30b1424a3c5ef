#include "desktop/shell_state.h"

#include "desktop/sound.h"

SDL_Window* MainWindow = nullptr;
SDL_GLContext RenderContext = nullptr;
int ScreenWidth = 0;
int ScreenHeight = 1;
int KeyState[256] = {};
int KeyPressed[256] = {};
int NoSound = 0;
int AudioDelayMs = DefaultAudioDelayMs;
