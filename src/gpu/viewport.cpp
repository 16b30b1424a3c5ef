#include "gpu/viewport.h"

#include "gpu/renderer.h"

void SetViewport(int width, int height)
{
    Renderer& r = ActiveRenderer();
    if (height == 0)
        height = 1;

    r.matrixMode(GL_PROJECTION);
    r.loadIdentity();
    // The near plane is the single-precision 0.1 widened, as the show's scenes were made with.
    r.perspective(45.0, static_cast<double>(width) / static_cast<double>(height),
                   static_cast<double>(0.1f), 10000.0);

    const int bandHeight = (width * 9) / 16;
    const int bandY = (height - bandHeight) / 2;
    r.viewport(0, bandY, width, bandHeight);

    r.matrixMode(GL_MODELVIEW);
    r.loadIdentity();
}

void InitGLState(int width, int height)
{
    Renderer& r = ActiveRenderer();
    r.enable(GL_TEXTURE_2D);
    r.clearColor(0.0f, 0.0f, 0.0f, 0.0f);
    r.clearDepth(1.0);
    r.depthFunc(GL_LEQUAL);
    r.enable(GL_DEPTH_TEST);
    r.shadeModel(GL_SMOOTH);
    SetViewport(width, height);
}
