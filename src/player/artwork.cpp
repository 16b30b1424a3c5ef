#include "player/artwork.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct Colour {
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

unsigned char toByte(float v)
{
    return static_cast<unsigned char>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
}

const Colour SphereColour = {0.95f, 0.55f, 0.15f};
const Colour RingColour = {0.35f, 0.85f, 0.95f};

// Lit sphere of radius 1 at the origin, light from the upper left; false outside it.
bool shadeSphere(float x, float y, Colour& out)
{
    const float r2 = x * x + y * y;
    if (r2 >= 1.0f)
        return false;
    const float z = std::sqrt(1.0f - r2);
    const float lx = -0.48f, ly = -0.56f, lz = 0.67f;
    const float diffuse = std::max(0.0f, x * lx + y * ly + z * lz);
    // Reflection of the light about the normal, seen from the front.
    const float d = 2.0f * (x * lx + y * ly + z * lz);
    const float rz = d * z - lz;
    const float specular = std::pow(std::max(0.0f, rz), 24.0f);
    const float light = 0.18f + 0.82f * diffuse;
    out = {SphereColour.r * light + specular, SphereColour.g * light + specular,
           SphereColour.b * light + specular};
    return true;
}

// A flat ring tilted toward the viewer, around a sphere of radius 1. Returns how much
// of the pixel the ring covers (0..1) and whether that part lies in front of the sphere.
float ringCover(float x, float y, bool& inFront)
{
    const float ry = (y - 0.25f * x) / 0.32f;
    const float distance = std::sqrt(x * x + ry * ry);
    inFront = ry > 0.0f;
    const float edge = std::fabs(distance - 1.45f);
    return std::clamp((0.16f - edge) / 0.06f, 0.0f, 1.0f);
}

Colour planet(float x, float y, Colour background)
{
    Colour c = background;
    bool ringInFront = false;
    const float ring = ringCover(x, y, ringInFront);
    if (!ringInFront)
        c = mix(c, RingColour, ring * 0.8f);
    Colour sphere;
    if (shadeSphere(x, y, sphere))
        c = sphere;
    if (ringInFront)
        c = mix(c, RingColour, ring);
    return c;
}

// 5 x 7 capitals for the letters the title needs, one row per byte, high bit on the left.
struct Glyph {
    char letter;
    unsigned char rows[7];
};

const Glyph Glyphs[] = {
    {'A', {0x70, 0x88, 0x88, 0xF8, 0x88, 0x88, 0x88}},
    {'D', {0xF0, 0x88, 0x88, 0x88, 0x88, 0x88, 0xF0}},
    {'E', {0xF8, 0x80, 0x80, 0xF0, 0x80, 0x80, 0xF8}},
    {'I', {0x70, 0x20, 0x20, 0x20, 0x20, 0x20, 0x70}},
    {'L', {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0xF8}},
    {'N', {0x88, 0xC8, 0xA8, 0x98, 0x88, 0x88, 0x88}},
    {'O', {0x70, 0x88, 0x88, 0x88, 0x88, 0x88, 0x70}},
    {'Q', {0x70, 0x88, 0x88, 0x88, 0xA8, 0x90, 0x68}},
    {'R', {0xF0, 0x88, 0x88, 0xF0, 0xA0, 0x90, 0x88}},
    {'T', {0xF8, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}},
    {'U', {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x70}},
    {'X', {0x88, 0x88, 0x50, 0x20, 0x50, 0x88, 0x88}},
};

const Glyph* findGlyph(char letter)
{
    for (const Glyph& glyph : Glyphs) {
        if (glyph.letter == letter)
            return &glyph;
    }
    return nullptr;
}

// Draws text centred at row top with square dots of scale pixels, shadowed one dot down-right.
void drawText(std::vector<unsigned char>& rgb, const char* text, int top, int scale, Colour colour)
{
    const int length = static_cast<int>(std::strlen(text));
    const int advance = 6 * scale;
    const int left = (TitlePictureWidth - (length * advance - scale)) / 2;
    const Colour shadow = {0.02f, 0.02f, 0.08f};
    for (int pass = 0; pass < 2; ++pass) {
        const int offset = pass == 0 ? std::max(1, scale / 2) : 0;
        const Colour c = pass == 0 ? shadow : colour;
        for (int i = 0; i < length; ++i) {
            const Glyph* glyph = findGlyph(text[i]);
            if (!glyph)
                continue;
            for (int row = 0; row < 7; ++row) {
                for (int column = 0; column < 5; ++column) {
                    if (!(glyph->rows[row] & (0x80 >> column)))
                        continue;
                    for (int dy = 0; dy < scale; ++dy) {
                        for (int dx = 0; dx < scale; ++dx) {
                            const int x = left + i * advance + column * scale + dx + offset;
                            const int y = top + row * scale + dy + offset;
                            if (x < 0 || y < 0 || x >= TitlePictureWidth || y >= TitlePictureHeight)
                                continue;
                            unsigned char* p = &rgb[(static_cast<size_t>(y) * TitlePictureWidth + x) * 3];
                            p[0] = toByte(c.r);
                            p[1] = toByte(c.g);
                            p[2] = toByte(c.b);
                        }
                    }
                }
            }
        }
    }
}

} // namespace

std::vector<unsigned char> DrawAppIcon(int size)
{
    std::vector<unsigned char> rgba(static_cast<size_t>(size) * size * 4);
    const float half = size / 2.0f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = (x + 0.5f - half) / half;
            const float v = (y + 0.5f - half) / half;
            // Rounded tile: distance outside a square of half-size 0.7 with corner radius 0.3.
            const float qx = std::max(std::fabs(u) - 0.7f, 0.0f);
            const float qy = std::max(std::fabs(v) - 0.7f, 0.0f);
            const float outside = std::sqrt(qx * qx + qy * qy) - 0.3f;
            const float alpha = std::clamp(-outside * half, 0.0f, 1.0f);
            const Colour tile = mix({0.10f, 0.12f, 0.32f}, {0.03f, 0.03f, 0.10f}, (v + 1.0f) / 2.0f);
            const Colour c = planet(u / 0.5f, v / 0.5f, tile);
            unsigned char* p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            p[0] = toByte(c.r);
            p[1] = toByte(c.g);
            p[2] = toByte(c.b);
            p[3] = toByte(alpha);
        }
    }
    return rgba;
}

std::vector<unsigned char> DrawTitlePicture()
{
    std::vector<unsigned char> rgb(static_cast<size_t>(TitlePictureWidth) * TitlePictureHeight * 3);
    const int horizon = 132;
    const float centreX = TitlePictureWidth / 2.0f;
    for (int y = 0; y < TitlePictureHeight; ++y) {
        for (int x = 0; x < TitlePictureWidth; ++x) {
            Colour c;
            if (y < horizon) {
                const float t = static_cast<float>(y) / horizon;
                c = mix({0.02f, 0.02f, 0.10f}, {0.30f, 0.10f, 0.35f}, t * t);
            } else {
                // Floor grid in perspective: depth grows toward the horizon.
                const float depth = 40.0f / (y - horizon + 1.0f);
                const float across = (x + 0.5f - centreX) * depth / 40.0f;
                const float lineZ = std::fabs(depth - std::round(depth));
                const float lineX = std::fabs(across - std::round(across));
                const float width = 0.04f * depth;
                const float line = std::max(lineZ < width ? 1.0f : 0.0f, lineX < width ? 1.0f : 0.0f);
                const float fade = std::clamp(3.0f / depth, 0.0f, 1.0f);
                c = mix({0.05f, 0.02f, 0.10f}, {0.90f, 0.25f, 0.70f}, line * fade);
            }
            c = planet((x + 0.5f - centreX) / 38.0f, (y + 0.5f - 98.0f) / 38.0f, c);
            unsigned char* p = &rgb[(static_cast<size_t>(y) * TitlePictureWidth + x) * 3];
            p[0] = toByte(c.r);
            p[1] = toByte(c.g);
            p[2] = toByte(c.b);
        }
    }
    drawText(rgb, "TALDREX", 10, 4, {1.0f, 0.85f, 0.30f});
    drawText(rgb, "QUORIN", 46, 2, {0.80f, 0.85f, 1.0f});
    return rgb;
}
