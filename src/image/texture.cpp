#include "image/texture.h"

#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include <cstdint>
#include <vector>

namespace {

// Textures use three components at level 0 whatever the pixel format.
constexpr GLint ThreeComponents = 3;

// Creates and binds a texture and uploads pixels (width x height, no row padding) in
// format; an empty image gives a 0 x 0 texture without mipmap levels.
GLuint buildTexture(int width, int height, const uint8_t* pixels, GLenum format, bool mipmaps)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR);

    // Decoded rows are packed tightly; OpenGL's default 4-byte row alignment would skew
    // every three-byte-per-pixel image whose width is not a multiple of 4 and read past
    // the end of the buffer.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, ThreeComponents, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    if (mipmaps && pixels)
        gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), width, height, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return texture;
}

} // namespace

GLuint LoadJpegTexture(const std::string& path, bool mipmaps)
{
    DecodedImage image = DecodeJpeg(path);
    // The background quad puts row 0 at its bottom edge, so the picture is stored bottom
    // row first, and OpenGL takes red first.
    std::vector<uint8_t> converted(image.pixels.size());
    const size_t rowBytes = size_t(image.width) * 3;
    for (int r = 0; r < image.height; ++r) {
        const uint8_t* from = image.pixels.data() + (image.height - 1 - r) * rowBytes;
        uint8_t* to = converted.data() + r * rowBytes;
        for (size_t i = 0; i < rowBytes; i += 3) {
            to[i] = from[i + 2];
            to[i + 1] = from[i + 1];
            to[i + 2] = from[i];
        }
    }
    return buildTexture(image.width, image.height, image.empty() ? nullptr : converted.data(), GL_RGB, mipmaps);
}

GLuint LoadPngTexture(const std::string& path, bool mipmaps)
{
    DecodedImage image = DecodePng(path);
    return buildTexture(image.width, image.height, image.empty() ? nullptr : image.pixels.data(), GL_RGBA, mipmaps);
}
