#include "image/texture.h"

#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Textures use three components at level 0 whatever the pixel format.
constexpr GLint ThreeComponents = 3;

// The side the mipmap builder gives a picture side: a nearby power of two (3 -> 4,
// 5 -> 4, 6 -> 8, 100 -> 128, 640 -> 512, 480 -> 512).
int mipmapSide(int side)
{
    int power = 1;
    while (side != 1 && side != 3) {
        side >>= 1;
        power *= 2;
    }
    return side == 3 ? power * 4 : power;
}

// One source pixel's share of a target pixel along one axis.
struct Tap {
    int source;
    float weight;
};

// For each of `to` target pixels, the source pixels it covers when `from` pixels are
// stretched over `to`, weighted by the covered length.
std::vector<std::vector<Tap>> boxTaps(int from, int to)
{
    std::vector<std::vector<Tap>> taps(to);
    const double scale = double(from) / to;
    for (int t = 0; t < to; ++t) {
        const double low = t * scale;
        const double high = (t + 1) * scale;
        for (int s = int(low); s < from && s < high; ++s) {
            double covered = std::min(high, s + 1.0) - std::max(low, double(s));
            if (covered > 0)
                taps[t].push_back({s, float(covered / scale)});
        }
    }
    return taps;
}

// Rescales a picture (empty without the memory for it) by averaging the area of it that each target pixel covers, as the
// mipmap builder does. The system's builder leaves the last row black when only the
// width changes (3 x 2 -> 4 x 2, 800 x 512 -> 1024 x 512), so pictures are brought to
// its power-of-two sizes here and it only has to halve them.
std::vector<uint8_t> boxScale(const uint8_t* pixels, int width, int height, int components, int newWidth,
    int newHeight)
{
    const std::vector<std::vector<Tap>> across = boxTaps(width, newWidth);
    const std::vector<std::vector<Tap>> down = boxTaps(height, newHeight);
    const size_t rowBytes = size_t(width) * components;
    std::vector<uint8_t> scaled;
    if (!allocateZeroed(scaled, size_t(newWidth) * newHeight * components))
        return scaled;
    std::vector<float> sums(size_t(newWidth) * components);
    for (int y = 0; y < newHeight; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (const Tap& row : down[y]) {
            const uint8_t* source = pixels + row.source * rowBytes;
            for (int x = 0; x < newWidth; ++x)
                for (const Tap& column : across[x])
                    for (int c = 0; c < components; ++c)
                        sums[x * components + c] += row.weight * column.weight * source[column.source * components + c];
        }
        uint8_t* target = scaled.data() + size_t(y) * newWidth * components;
        for (size_t i = 0; i < sums.size(); ++i)
            target[i] = uint8_t(std::min(255.0f, sums[i] + 0.5f));
    }
    return scaled;
}

// Builds every mipmap level from pixels, at the power-of-two sizes the builder picks.
// Without memory for the rescaled copy no levels are built.
void buildMipmaps(int width, int height, const uint8_t* pixels, GLenum format, int components)
{
    const int newWidth = mipmapSide(width);
    const int newHeight = mipmapSide(height);
    std::vector<uint8_t> scaled;
    if (newWidth != width || newHeight != height) {
        scaled = boxScale(pixels, width, height, components, newWidth, newHeight);
        if (scaled.empty())
            return;
        pixels = scaled.data();
    }
    gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), newWidth, newHeight, format, GL_UNSIGNED_BYTE, pixels);
}

// Creates and binds a texture and uploads pixels (width x height, no row padding) in
// format; an empty image gives a 0 x 0 texture without mipmap levels.
GLuint buildTexture(int width, int height, const uint8_t* pixels, GLenum format, int components, bool mipmaps)
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
        buildMipmaps(width, height, pixels, format, components);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return texture;
}

} // namespace

GLuint LoadJpegTexture(const std::string& path, bool mipmaps)
{
    DecodedImage image = DecodeJpeg(path);
    // The background quad puts row 0 at its bottom edge, so the picture is stored bottom
    // row first, and OpenGL takes red first.
    std::vector<uint8_t> converted;
    if (!allocateZeroed(converted, image.pixels.size()))
        image = DecodedImage();
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
    return buildTexture(image.width, image.height, image.empty() ? nullptr : converted.data(), GL_RGB, 3, mipmaps);
}

GLuint LoadPngTexture(const std::string& path, bool mipmaps)
{
    DecodedImage image = DecodePng(path);
    return buildTexture(image.width, image.height, image.empty() ? nullptr : image.pixels.data(), GL_RGBA, 4, mipmaps);
}
