#include "image/loading_picture.h"

#include "image/screen_quad.h"
#include "image/texture.h"

GLuint ShowLoadingPicture(const DataFolder& folder, ImageBudget& budget, const DrawTarget& target)
{
    GLuint texture = LoadJpegTexture("data\\Loading.jpg", true, budget, folder);
    DrawScreenPicture(target.width, target.height, texture);
    if (target.swapWindow)
        SDL_GL_SwapWindow(target.swapWindow);
    return texture;
}
