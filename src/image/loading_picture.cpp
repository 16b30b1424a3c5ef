#include "image/loading_picture.h"

#include "app/shell_state.h"
#include "image/screen_quad.h"
#include "image/texture.h"

GLuint ShowLoadingPicture()
{
    GLuint texture = LoadJpegTexture("data\\Loading.jpg", true);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, ScreenWidth, 0.0, ScreenHeight, -1.0, 1.0);
    const float halfWidth = ScreenWidth * 0.5f;
    const float halfHeight = ScreenHeight * 0.5f;
    DrawBackgroundQuad(halfWidth, halfHeight, halfWidth, halfHeight, 1.0f, texture);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    if (MainWindow)
        SDL_GL_SwapWindow(MainWindow);
    return texture;
}
