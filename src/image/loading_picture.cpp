#include "image/loading_picture.h"

#include "app/shell_state.h"
#include "image/screen_quad.h"
#include "image/texture.h"

GLuint ShowLoadingPicture(const DataFolder& folder, ImageBudget& budget)
{
    GLuint texture = LoadJpegTexture("data\\Loading.jpg", true, budget, folder);
    DrawScreenPicture(ScreenWidth, ScreenHeight, texture);
    if (MainWindow)
        SDL_GL_SwapWindow(MainWindow);
    return texture;
}
