#include "image/texture.h"

#include "common/printable_text.h"
#include "gpu/gl_context.h"
#include "gpu/renderer.h"
#include "image/image_limits.h"
#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// Textures use three components at level 0 whatever the pixel format.
constexpr GLint ThreeComponents = 3;

// For each of `to` target pixels, the source pixels it covers when `from` pixels are
// stretched over `to`, weighted by the covered length: target t's taps are
// source[first[t]] .. source[first[t + 1] - 1] with their weights.
struct Taps {
    std::vector<int> first;
    std::vector<int> source;
    std::vector<float> weight;
};

Taps boxTaps(int from, int to)
{
    Taps taps;
    taps.first.reserve(size_t(to) + 1);
    const double scale = double(from) / to;
    for (int t = 0; t < to; ++t) {
        taps.first.push_back(int(taps.source.size()));
        const double low = t * scale;
        const double high = (t + 1) * scale;
        for (int s = int(low); s < from && s < high; ++s) {
            double covered = std::min(high, s + 1.0) - std::max(low, double(s));
            if (covered > 0) {
                taps.source.push_back(s);
                taps.weight.push_back(float(covered / scale));
            }
        }
    }
    taps.first.push_back(int(taps.source.size()));
    return taps;
}

// One pixel's components as four floats (unused ones 0), added and scaled as one vector
// register whatever the optimisation level; each component is computed exactly as it
// would be on its own.
typedef float Lanes __attribute__((vector_size(16)));

// Rescales a picture of C components (empty without the memory for it) by averaging the
// area of it that each target pixel covers, as the mipmap builder does: each source row is
// stretched across once, then every target row sums the stretched rows it covers. The
// system's builder leaves the last row black when only the width changes (3 x 2 -> 4 x 2,
// 800 x 512 -> 1024 x 512), so pictures are brought to its power-of-two sizes here and it
// only has to halve them.
template <int C>
std::vector<uint8_t> boxScale(const uint8_t* pixels, int width, int height, int newWidth, int newHeight)
{
    const Taps across = boxTaps(width, newWidth);
    const Taps down = boxTaps(height, newHeight);
    const size_t rowBytes = size_t(width) * C;
    std::vector<uint8_t> scaled;
    if (!AllocateZeroed(scaled, size_t(newWidth) * C * newHeight))
        return scaled;
    std::vector<Lanes> source(static_cast<size_t>(width));
    std::vector<Lanes> sums(static_cast<size_t>(newWidth));
    // Target rows cover ascending source rows and neighbours share at most one, so two
    // stretched rows, by source row parity, are all that is ever needed again.
    std::vector<Lanes> stretched(2 * size_t(newWidth));
    int stretchedSource[2] = {-1, -1};
    for (int y = 0; y < newHeight; ++y) {
        std::fill(sums.begin(), sums.end(), Lanes{0.0f, 0.0f, 0.0f, 0.0f});
        for (int k = down.first[y]; k < down.first[y + 1]; ++k) {
            const int from = down.source[k];
            Lanes* row = stretched.data() + size_t(from & 1) * newWidth;
            if (stretchedSource[from & 1] != from) {
                const uint8_t* line = pixels + size_t(from) * rowBytes;
                for (int x = 0; x < width; ++x) {
                    // Built whole, in registers: four separate stores to memory and one
                    // wide load back would stall on every pixel.
                    const uint8_t* p = line + x * C;
                    source[x] = Lanes{float(p[0]), float(p[1]), float(p[2]), C == 4 ? float(p[C - 1]) : 0.0f};
                }
                for (int x = 0; x < newWidth; ++x) {
                    Lanes sum = {0.0f, 0.0f, 0.0f, 0.0f};
                    for (int t = across.first[x]; t < across.first[x + 1]; ++t)
                        sum += across.weight[t] * source[across.source[t]];
                    row[x] = sum;
                }
                stretchedSource[from & 1] = from;
            }
            const float weight = down.weight[k];
            for (int x = 0; x < newWidth; ++x)
                sums[x] += weight * row[x];
        }
        uint8_t* target = scaled.data() + size_t(y) * newWidth * C;
        for (int x = 0; x < newWidth; ++x)
            for (int c = 0; c < C; ++c)
                target[x * C + c] = uint8_t(std::min(255.0f, sums[x][c] + 0.5f));
    }
    return scaled;
}

// Builds every mipmap level from pixels of 3 (GL_RGB) or 4 (GL_RGBA) components, at the
// power-of-two sizes the builder picks. Without memory for the rescaled copy no levels are built.
void buildMipmaps(int width, int height, const uint8_t* pixels, GLenum format, int components)
{
    const int newWidth = MipmapSide(width);
    const int newHeight = MipmapSide(height);
    std::vector<uint8_t> scaled;
    if (newWidth != width || newHeight != height) {
        scaled = components == 4 ? boxScale<4>(pixels, width, height, newWidth, newHeight)
                                 : boxScale<3>(pixels, width, height, newWidth, newHeight);
        if (scaled.empty())
            return;
        pixels = scaled.data();
    }
    ActiveRenderer().buildMipmaps(newWidth, newHeight, format, pixels);
}

// Binds texture and uploads pixels (width x height, no row padding) in format into it,
// replacing whatever picture it held; an empty image gives a 0 x 0 texture without
// mipmap levels.
void uploadTexture(GLuint texture, int width, int height, const uint8_t* pixels, GLenum format, int components,
    bool mipmaps)
{
    Renderer& r = ActiveRenderer();
    r.bindTexture(texture);
    r.texParameteri(GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    r.texParameteri(GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR);

    // Decoded rows are packed tightly; OpenGL's default 4-byte row alignment would skew
    // every three-byte-per-pixel image whose width is not a multiple of 4 and read past
    // the end of the buffer.
    GLint alignment = 4;
    r.getIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    r.pixelStorei(GL_UNPACK_ALIGNMENT, 1);
    r.texImage2D(ThreeComponents, width, height, format, pixels);
    if (mipmaps && pixels)
        buildMipmaps(width, height, pixels, format, components);
    r.pixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// Creates a texture, uploads pixels into it (see uploadTexture) and leaves it bound.
GLuint buildTexture(int width, int height, const uint8_t* pixels, GLenum format, int components, bool mipmaps)
{
    Renderer& r = ActiveRenderer();
    GLuint texture = r.genTexture();
    uploadTexture(texture, width, height, pixels, format, components, mipmaps);
    return texture;
}

// A picture refused by a limit is drawn without its texture, like an undecodable one,
// but the show says why: the folder is not simply damaged.
void reportRefusal(const std::string& path, const DecodedImage& image)
{
    if (!image.refusal.empty())
        std::fprintf(stderr, "taldrex: %s: %s; it is drawn without a picture\n", PrintableText(path).c_str(),
            image.refusal.c_str());
}

// The decoded JPEG as the texture stores it: the background quad puts row 0 at its
// bottom edge, so the picture is stored bottom row first, and OpenGL takes red first.
// Empties image when there is no memory for the copy.
std::vector<uint8_t> jpegTexels(DecodedImage& image)
{
    std::vector<uint8_t> converted;
    if (!AllocateZeroed(converted, image.pixels.size()))
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
    return converted;
}

// Why a picture cannot replace the one a texture holds, or empty when it can: it must
// have decoded whole.
std::string replacementProblem(const std::string& path, const DecodedImage& image, const char* kind,
                               const DataFolder& folder)
{
    if (!image.refusal.empty())
        return image.refusal;
    if (image.empty()) {
        const DataFile file = folder.openFile(path, ImageFileLimit);
        if (!file)
            return file.problem;
        return std::string("cannot be decoded as a ") + kind + " picture";
    }
    if (!image.complete)
        return "is damaged or cut short";
    return std::string();
}

} // namespace

TextureHandle::TextureHandle(GLuint texture) : texture_(texture), context_(texture ? CurrentGlContext() : nullptr) {}

TextureHandle::~TextureHandle() { reset(); }

TextureHandle::TextureHandle(TextureHandle&& other) noexcept : texture_(other.texture_), context_(other.context_)
{
    other.texture_ = 0;
    other.context_ = nullptr;
}

TextureHandle& TextureHandle::operator=(TextureHandle&& other) noexcept
{
    if (this != &other) {
        reset();
        texture_ = other.texture_;
        context_ = other.context_;
        other.texture_ = 0;
        other.context_ = nullptr;
    }
    return *this;
}

void TextureHandle::reset()
{
    Renderer& r = ActiveRenderer();
    if (texture_ && context_ && CurrentGlContext() == context_)
        r.deleteTexture(texture_);
    texture_ = 0;
    context_ = nullptr;
}

GLuint NewTexture()
{
    Renderer& r = ActiveRenderer();
    GLuint texture = r.genTexture();
    r.bindTexture(texture);
    return texture;
}

void DeleteTexture(GLuint texture)
{
    Renderer& r = ActiveRenderer();
    if (texture)
        r.deleteTexture(texture);
}

TextureHandle UploadAlphaTexture(int width, int height, const unsigned char* alpha)
{
    Renderer& r = ActiveRenderer();
    r.pushAllAttributes();
    r.pushClientAttributes();
    r.activeTexture(GL_TEXTURE0_ARB);
    r.pixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint texture = r.genTexture();
    r.bindTexture(texture);
    r.texParameteri(GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    r.texParameteri(GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    r.texParameteri(GL_TEXTURE_WRAP_S, GL_CLAMP);
    r.texParameteri(GL_TEXTURE_WRAP_T, GL_CLAMP);
    r.texImage2D(GL_ALPHA, width, height, GL_ALPHA, alpha);
    r.popClientAttributes();
    r.popAllAttributes();
    return TextureHandle(texture);
}

TexturePicture DecodeJpegTexture(const std::string& path, ImageBudget& budget, const DataFolder& folder)
{
    DecodedImage image = DecodeJpeg(path, &budget, folder);
    reportRefusal(path, image);
    TexturePicture picture;
    picture.refusal = image.refusal;
    picture.complete = image.complete;
    picture.cost = image.cost;
    picture.texels = jpegTexels(image);
    picture.width = image.width;
    picture.height = image.height;
    if (image.empty())
        picture.texels.clear();
    return picture;
}

TexturePicture DecodePngTexture(const std::string& path, ImageBudget& budget, const DataFolder& folder)
{
    DecodedImage image = DecodePng(path, &budget, folder);
    reportRefusal(path, image);
    TexturePicture picture;
    picture.refusal = image.refusal;
    picture.complete = image.complete;
    picture.cost = image.cost;
    picture.width = image.width;
    picture.height = image.height;
    picture.texels = std::move(image.pixels);
    picture.format = GL_RGBA;
    picture.components = 4;
    return picture;
}

GLuint CreateTexture(const TexturePicture& picture, bool mipmaps)
{
    return buildTexture(picture.width, picture.height, picture.texels.empty() ? nullptr : picture.texels.data(),
        picture.format, picture.components, mipmaps);
}

GLuint LoadJpegTexture(const std::string& path, bool mipmaps, ImageBudget& budget, const DataFolder& folder)
{
    const TexturePicture picture = DecodeJpegTexture(path, budget, folder);
    const GLuint texture = CreateTexture(picture, mipmaps);
    budget.endLoading(picture.cost);
    return texture;
}

GLuint LoadPngTexture(const std::string& path, bool mipmaps, ImageBudget& budget, const DataFolder& folder)
{
    const TexturePicture picture = DecodePngTexture(path, budget, folder);
    const GLuint texture = CreateTexture(picture, mipmaps);
    budget.endLoading(picture.cost);
    return texture;
}

bool ReplaceJpegTexture(GLuint texture, const std::string& path, bool mipmaps, const ImageBudget& budget,
                        std::string& problem, const DataFolder& folder)
{
    // The new picture takes the place of one already counted: it is held to the whole
    // budget on its own rather than to what the show's other pictures left.
    ImageBudget own(budget.total());
    DecodedImage image = DecodeJpeg(path, &own, folder);
    problem = replacementProblem(path, image, "JPEG", folder);
    if (!problem.empty())
        return false;
    const std::vector<uint8_t> texels = jpegTexels(image);
    if (image.empty()) {
        problem = "is too large for the memory left";
        return false;
    }
    uploadTexture(texture, image.width, image.height, texels.data(), GL_RGB, 3, mipmaps);
    return true;
}

bool ReplacePngTexture(GLuint texture, const std::string& path, bool mipmaps, const ImageBudget& budget,
                       std::string& problem, const DataFolder& folder)
{
    ImageBudget own(budget.total());
    DecodedImage image = DecodePng(path, &own, folder);
    problem = replacementProblem(path, image, "PNG", folder);
    if (!problem.empty())
        return false;
    uploadTexture(texture, image.width, image.height, image.pixels.data(), GL_RGBA, 4, mipmaps);
    return true;
}
