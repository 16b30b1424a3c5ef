#include "canvas.h"

#include "noise.h"

#include <algorithm>
#include <cmath>

Canvas::Canvas(int width, int height)
    : w(width), h(height), pixels(size_t(width) * size_t(height), Pixel{0, 0, 0, 0})
{
}

void Canvas::fill(const std::function<Colour(float x, float y)>& shade)
{
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Colour c = shade(float(x) + 0.5f, float(y) + 0.5f);
            at(x, y) = {c.r, c.g, c.b, 1.0f};
        }
    }
}

void Canvas::blend(int x, int y, Colour colour, float opacity)
{
    if (x < 0 || y < 0 || x >= w || y >= h || opacity <= 0.0f) {
        return;
    }
    opacity = std::min(opacity, 1.0f);
    Pixel& p = at(x, y);
    float keep = 1.0f - opacity;
    p.r = colour.r * opacity + p.r * keep;
    p.g = colour.g * opacity + p.g * keep;
    p.b = colour.b * opacity + p.b * keep;
    p.a = opacity + p.a * keep;
}

void Canvas::addLight(int x, int y, Colour colour, float intensity)
{
    if (x < 0 || y < 0 || x >= w || y >= h || intensity <= 0.0f) {
        return;
    }
    Pixel& p = at(x, y);
    p.r += colour.r * intensity;
    p.g += colour.g * intensity;
    p.b += colour.b * intensity;
}

void Canvas::paintMask(const Mask& mask, int dx, int dy, float opacity,
                       const std::function<Colour(int x, int y)>& shade)
{
    for (int my = 0; my < mask.height; ++my) {
        for (int mx = 0; mx < mask.width; ++mx) {
            float coverage = mask.at(mx, my);
            if (coverage > 0.0f) {
                int x = mx + dx;
                int y = my + dy;
                blend(x, y, shade(x, y), std::min(coverage, 1.0f) * opacity);
            }
        }
    }
}

namespace {

uint8_t toByte(float v)
{
    return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

} // namespace

std::vector<uint8_t> Canvas::rgb8() const
{
    std::vector<uint8_t> out(size_t(w) * size_t(h) * 3);
    size_t o = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Pixel& p = at(x, y);
            float dither = (hashUnit(x, y, 77) - 0.5f) / 255.0f;
            out[o++] = toByte(p.r + dither);
            out[o++] = toByte(p.g + dither);
            out[o++] = toByte(p.b + dither);
        }
    }
    return out;
}

std::vector<uint8_t> Canvas::rgba8() const
{
    std::vector<uint8_t> out(size_t(w) * size_t(h) * 4);
    size_t o = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Pixel& p = at(x, y);
            uint8_t alpha = toByte(p.a);
            // Fully transparent pixels get black colour so they compress to nothing.
            float unscale = alpha > 0 ? 1.0f / std::min(p.a, 1.0f) : 0.0f;
            out[o++] = toByte(p.r * unscale);
            out[o++] = toByte(p.g * unscale);
            out[o++] = toByte(p.b * unscale);
            out[o++] = alpha;
        }
    }
    return out;
}

namespace {

// One box blur pass along rows (horizontal) or columns, with edges clamped.
Mask boxPass(const Mask& in, int radius, bool horizontal)
{
    Mask out(in.width, in.height);
    int lines = horizontal ? in.height : in.width;
    int length = horizontal ? in.width : in.height;
    float scale = 1.0f / float(2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        auto sample = [&](int i) {
            i = std::clamp(i, 0, length - 1);
            return horizontal ? in.at(i, line) : in.at(line, i);
        };
        float sum = 0.0f;
        for (int i = -radius; i <= radius; ++i) {
            sum += sample(i);
        }
        for (int i = 0; i < length; ++i) {
            (horizontal ? out.at(i, line) : out.at(line, i)) = sum * scale;
            sum += sample(i + radius + 1) - sample(i - radius);
        }
    }
    return out;
}

} // namespace

Mask blurred(const Mask& mask, int radius)
{
    Mask out = mask;
    for (int pass = 0; pass < 3; ++pass) {
        out = boxPass(boxPass(out, radius, true), radius, false);
    }
    return out;
}

Mask dilated(const Mask& mask, int radius)
{
    Mask rows(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            float m = 0.0f;
            for (int i = std::max(0, x - radius); i <= std::min(mask.width - 1, x + radius); ++i) {
                m = std::max(m, mask.at(i, y));
            }
            rows.at(x, y) = m;
        }
    }
    Mask out(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            float m = 0.0f;
            for (int i = std::max(0, y - radius); i <= std::min(mask.height - 1, y + radius); ++i) {
                m = std::max(m, rows.at(x, i));
            }
            out.at(x, y) = m;
        }
    }
    return out;
}

float smoothStep(float edge0, float edge1, float x)
{
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

void addDisc(Mask& mask, float cx, float cy, float r)
{
    addRing(mask, cx, cy, -1.0f, r);
}

void addRing(Mask& mask, float cx, float cy, float inner, float outer)
{
    int x0 = std::max(0, int(cx - outer - 2));
    int x1 = std::min(mask.width - 1, int(cx + outer + 2));
    int y0 = std::max(0, int(cy - outer - 2));
    int y1 = std::min(mask.height - 1, int(cy + outer + 2));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            float d = std::hypot(float(x) + 0.5f - cx, float(y) + 0.5f - cy);
            float coverage = std::clamp(outer - d + 0.5f, 0.0f, 1.0f) *
                             std::clamp(d - inner + 0.5f, 0.0f, 1.0f);
            float& m = mask.at(x, y);
            m = std::min(1.0f, m + coverage);
        }
    }
}
