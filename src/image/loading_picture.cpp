#include "image/loading_picture.h"

#include "app/shell_state.h"
#include "image/screen_quad.h"
#include "image/texture.h"

#include <utility>

GLuint ShowLoadingPicture(const DataFolder& folder, TexturePicture* decoded)
{
    TexturePicture picture = DecodeJpegTexture("data\\Loading.jpg", folder);
    GLuint texture = CreateTexture(picture, true);
    if (decoded)
        *decoded = std::move(picture);
    DrawScreenPicture(ScreenWidth, ScreenHeight, texture);
    if (MainWindow)
        SDL_GL_SwapWindow(MainWindow);
    return texture;
}
