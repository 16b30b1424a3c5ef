#include "image/loading_picture.h"

#include "image/screen_quad.h"
#include "image/texture.h"

#include <utility>

GLuint DrawLoadingPicture(const DataFolder& folder, ImageBudget& budget, int width, int height,
                          TexturePicture* decoded)
{
    TexturePicture picture = DecodeJpegTexture("data\\Loading.jpg", budget, folder);
    GLuint texture = CreateTexture(picture, true);
    budget.endLoading(picture.cost);
    if (decoded)
        *decoded = std::move(picture);
    DrawScreenPicture(width, height, texture);
    return texture;
}
