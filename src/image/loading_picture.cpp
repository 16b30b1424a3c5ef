#include "image/loading_picture.h"

#include "image/screen_quad.h"
#include "image/texture.h"

#include <utility>

GLuint ShowLoadingPicture(const DataFolder& folder, ImageBudget& budget, const DrawTarget& target,
                          TexturePicture* decoded)
{
    TexturePicture picture = DecodeJpegTexture("data\\Loading.jpg", budget, folder);
    GLuint texture = CreateTexture(picture, true);
    if (decoded)
        *decoded = std::move(picture);
    DrawScreenPicture(target.width, target.height, texture);
    if (target.swapWindow)
        SDL_GL_SwapWindow(target.swapWindow);
    return texture;
}
