// Key codes: SDL keys translated into the Windows virtual-key codes KeyState is indexed by.
#pragma once

#include <SDL.h>

// The virtual-key code (1..254) of an SDL key, or -1 for a key that has none.
int VirtualKeyFromSdl(SDL_Keycode key);
