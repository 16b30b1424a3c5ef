// Texture building: decoded JPEG and PNG files uploaded as OpenGL textures.
#pragma once

#include "common/data_file.h"
#include "gpu/gl.h"
#include "image/image_limits.h"

#include <cstdint>
#include <string>
#include <vector>

// A picture decoded into the texels a texture is built from; making it needs no OpenGL.
struct TexturePicture {
    int width = 0;
    int height = 0;
    // Tightly packed rows in format; empty when the file could not be decoded or was
    // refused, which builds a texture with no picture.
    std::vector<uint8_t> texels;
    GLenum format = GL_RGB;
    int components = 3;
    // How the decode went, for reports: why a limit refused the picture (empty when none
    // did) and whether every row decoded.
    std::string refusal;
    bool complete = false;
    // What the picture took from the budget it was decoded against (see PictureCost).
    PictureCost cost;
};

// Decodes the JPEG file at path in folder into the picture LoadJpegTexture builds its
// texture from, taking its whole cost from budget (the caller gives back picture.cost's
// loading part once the texture is built), without calling OpenGL. Returns a picture
// without texels when the file cannot be decoded or is refused (the refusal reported on
// standard error).
TexturePicture DecodeJpegTexture(const std::string& path, ImageBudget& budget,
                                 const DataFolder& folder = DataFolder());

// The same for a PNG file, as LoadPngTexture builds it.
TexturePicture DecodePngTexture(const std::string& path, ImageBudget& budget,
                                const DataFolder& folder = DataFolder());

// Builds a texture from picture in the current context, as LoadJpegTexture and
// LoadPngTexture do, and returns its id, bound to GL_TEXTURE_2D.
GLuint CreateTexture(const TexturePicture& picture, bool mipmaps);

// Owns one texture of the context that was current when the handle took it, and deletes
// it when destroyed or given another, provided that context is still current (a texture
// of a context already gone went with it). Move-only; empty holds texture 0.
class TextureHandle {
public:
    TextureHandle() = default;
    explicit TextureHandle(GLuint texture);
    ~TextureHandle();
    TextureHandle(TextureHandle&& other) noexcept;
    TextureHandle& operator=(TextureHandle&& other) noexcept;
    TextureHandle(const TextureHandle&) = delete;
    TextureHandle& operator=(const TextureHandle&) = delete;

    GLuint get() const { return texture_; }
    // Where the handle keeps its texture's name, for a lookup that reads it later: it
    // stays put while the handle lives, whatever texture the handle is given.
    const GLuint* name() const { return &texture_; }
    explicit operator bool() const { return texture_ != 0; }

private:
    void reset();

    GLuint texture_ = 0;
    const void* context_ = nullptr;
};

// Creates a texture without a picture and binds it to GL_TEXTURE_2D. Returns its id (0
// only when OpenGL has no name to give).
GLuint NewTexture();

// Deletes texture; texture 0 is ignored. A texture bound on a unit leaves that unit bound
// to texture 0.
void DeleteTexture(GLuint texture);

// Builds a texture of one alpha channel from width x height bytes, top row first, with
// nearest filtering and clamped coordinates, restoring the active unit's binding and the
// pixel-store state. Returns the owned texture, empty when OpenGL gives no name.
TextureHandle UploadAlphaTexture(int width, int height, const unsigned char* alpha);

// Builds a texture from the JPEG file at path in folder (show path or plain path, see
// DecodeJpeg): red-green-blue, bottom row first, so that it shows upright on the
// background quad. Filters are linear, with nearest-mipmap minification when mipmaps is
// true, in which case every mipmap level is built. Returns the new texture id, bound to
// GL_TEXTURE_2D; when the file cannot be decoded the texture still exists, with a 0 x 0
// image. The picture's cost is taken from budget, and all but its texture's levels given
// back once the texture is built; a picture refused by a limit (see DecodeJpeg) is
// reported on standard error and gives the 0 x 0 image.
GLuint LoadJpegTexture(const std::string& path, bool mipmaps, ImageBudget& budget,
                       const DataFolder& folder = DataFolder());

// Builds a texture from the PNG file at path (see DecodePng): red-green-blue-alpha, top
// row first, so that it shows upright on the overlay quad. Level 0 alone is uploaded
// with three components; the mipmap levels, when asked for, carry the alpha channel.
// Returns the new texture id, bound; a 0 x 0 image when the file cannot be decoded or is
// refused (reported on standard error, as for JPEG files).
GLuint LoadPngTexture(const std::string& path, bool mipmaps, ImageBudget& budget,
                      const DataFolder& folder = DataFolder());

// Decodes the JPEG file at path in folder into texture (one that exists already), as
// LoadJpegTexture builds it, so that everything drawing with the texture's id draws the
// new picture. The picture is held to the whole of budget on its own, as it replaces one
// counted already. Returns false, with problem saying why and the texture left as it was,
// when the file is missing or refused, or does not decode whole (damaged, or cut short
// while it is being written).
bool ReplaceJpegTexture(GLuint texture, const std::string& path, bool mipmaps, const ImageBudget& budget,
                        std::string& problem, const DataFolder& folder = DataFolder());

// The same for a PNG file, built as LoadPngTexture builds it.
bool ReplacePngTexture(GLuint texture, const std::string& path, bool mipmaps, const ImageBudget& budget,
                       std::string& problem, const DataFolder& folder = DataFolder());
