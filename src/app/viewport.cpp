#include "app/viewport.h"

#include "app/gl.h"
#include "app/shell_state.h"

void SetViewport(int width, int height)
{
    if (height == 0)
        height = 1;

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The near plane is the single-precision 0.1 widened, as the show's scenes were made with.
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height),
                   static_cast<double>(0.1f), 10000.0);

    const int bandHeight = (width * 9) / 16;
    const int bandY = (height - bandHeight) / 2;
    glViewport(0, bandY, width, bandHeight);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    ScreenHeight = height;
    ScreenWidth = width;
}

void InitGLState(int width, int height)
{
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    SetViewport(width, height);
}

DrawTarget WindowTarget() { return DrawTarget{ScreenWidth, ScreenHeight, MainWindow}; }
