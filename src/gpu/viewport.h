// The letterboxed viewport, the default projection and the context's one-time state.
#pragma once

// Sets a 16:9 band of the full width centred vertically (origin negative when the
// window is wider than 16:9), a 45-degree perspective of the window's own aspect and an
// identity model-view. A height of 0 counts as 1.
void SetViewport(int width, int height);

// Texturing on, black clear colour, depth test with LEQUAL, smooth shading, then SetViewport.
void InitGLState(int width, int height);
