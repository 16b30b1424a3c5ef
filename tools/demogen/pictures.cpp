#include "pictures.h"

#include "canvas.h"
#include "image_files.h"
#include "noise.h"
#include "palette.h"
#include "pixel_font.h"
#include "show_assets.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace palette;

constexpr int FrameWidth = 1280;
constexpr int FrameHeight = 720;
constexpr int TextureSize = 256;
constexpr float Pi = 3.14159265358979f;
constexpr int JpegQuality = 92;

// ---------------------------------------------------------------- lettering

// How a piece of lettering is finished: a gradient fill over a coloured glow, a drop
// shadow and a dark halo that keeps it readable over a busy scene.
struct LetteringLook {
    Colour top;
    Colour bottom;
    Colour glow;
    float glowOpacity = 0.0f;
    int glowRadius = 8;
    float haloOpacity = 0.0f;
    int haloRadius = 10;
    int shadowOffset = 0;
    float shadowOpacity = 0.0f;
};

void paintLettering(Canvas& canvas, const Mask& ink, const LetteringLook& look)
{
    int left = ink.width;
    int right = -1;
    int top = ink.height;
    int bottom = -1;
    for (int y = 0; y < ink.height; ++y) {
        for (int x = 0; x < ink.width; ++x) {
            if (ink.at(x, y) > 0.0f) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return;
    }
    // Work on the lettering's neighbourhood only: three blur passes spread a radius
    // three times over.
    int spread = 3 * std::max(look.haloRadius + look.haloRadius / 2, look.glowRadius) +
                 look.shadowOffset + 2;
    int x0 = std::max(0, left - spread);
    int y0 = std::max(0, top - spread);
    Mask local(std::min(ink.width, right + spread + 1) - x0,
               std::min(ink.height, bottom + spread + 1) - y0);
    for (int y = 0; y < local.height; ++y) {
        for (int x = 0; x < local.width; ++x) {
            local.at(x, y) = ink.at(x + x0, y + y0);
        }
    }

    auto night = [](int, int) { return Night; };
    if (look.haloOpacity > 0.0f) {
        Mask halo = blurred(dilated(local, look.haloRadius / 2), look.haloRadius);
        canvas.paintMask(halo, x0, y0, look.haloOpacity, night);
    }
    if (look.shadowOpacity > 0.0f) {
        canvas.paintMask(blurred(local, 1), x0 + look.shadowOffset, y0 + look.shadowOffset,
                         look.shadowOpacity, night);
    }
    if (look.glowOpacity > 0.0f) {
        Mask glow = blurred(local, look.glowRadius);
        for (float& v : glow.values) {
            v = std::min(1.0f, v * 1.8f);
        }
        canvas.paintMask(glow, x0, y0, look.glowOpacity, [&](int, int) { return look.glow; });
    }
    float span = float(std::max(1, bottom - top));
    canvas.paintMask(local, x0, y0, 1.0f, [&](int, int y) {
        return mix(look.top, look.bottom, float(y - top) / span);
    });
}

// The show's name in its display style: big, slanted, gold running into magenta.
LetteringLook titleLook()
{
    LetteringLook look;
    look.top = Gold;
    look.bottom = Magenta;
    look.glow = Magenta;
    look.glowOpacity = 0.75f;
    look.glowRadius = 12;
    look.haloOpacity = 0.4f;
    look.haloRadius = 18;
    look.shadowOffset = 6;
    look.shadowOpacity = 0.8f;
    return look;
}

// Small lettering: plain colour on a dark halo.
LetteringLook smallLook(Colour colour)
{
    LetteringLook look;
    look.top = colour;
    look.bottom = colour;
    look.glow = colour;
    look.glowOpacity = 0.3f;
    look.glowRadius = 4;
    look.haloOpacity = 0.6f;
    look.haloRadius = 8;
    look.shadowOffset = 2;
    look.shadowOpacity = 0.7f;
    return look;
}

// ---------------------------------------------------------------- scenery

// A soft round point of light centred at (x, y).
void splatStar(Canvas& canvas, float x, float y, float radius, Colour colour, float intensity)
{
    int reach = int(std::ceil(radius * 3.0f));
    for (int py = int(y) - reach; py <= int(y) + reach; ++py) {
        for (int px = int(x) - reach; px <= int(x) + reach; ++px) {
            float dx = float(px) + 0.5f - x;
            float dy = float(py) + 0.5f - y;
            float falloff = std::exp(-(dx * dx + dy * dy) / (2.0f * radius * radius));
            canvas.addLight(px, py, colour, intensity * falloff);
        }
    }
}

// Stars scattered over the rows above maxY, fainter towards maxY; a few bright ones
// with cross-shaped spikes.
void drawStars(Canvas& canvas, int count, float maxY, uint32_t seed)
{
    for (int i = 0; i < count; ++i) {
        float x = hashUnit(i, 0, seed) * float(canvas.width());
        float y = hashUnit(i, 1, seed) * maxY;
        float size = hashUnit(i, 2, seed);
        float fade = 1.0f - smoothStep(0.5f * maxY, maxY, y);
        Colour tint = mix(Ice, i % 3 == 0 ? Cyan : Gold, 0.25f);
        float brightness = (0.25f + 0.75f * size * size) * fade;
        splatStar(canvas, x, y, 0.55f + size * 0.5f, tint, brightness);
        if (size > 0.985f) {
            for (int s = -18; s <= 18; ++s) {
                float spike = brightness * 0.35f * std::exp(-std::fabs(float(s)) / 5.0f);
                canvas.addLight(int(x) + s, int(y), tint, spike);
                canvas.addLight(int(x), int(y) + s, tint, spike);
            }
            splatStar(canvas, x, y, 4.0f, tint, 0.25f * fade);
        }
    }
}

// Evening sky from deep night at the top (v = 0) to coral at the horizon (v = 1).
Colour eveningSky(float v)
{
    static const Colour stops[] = {Night, Indigo, Violet, Magenta, Coral};
    return gradient(stops, std::pow(std::clamp(v, 0.0f, 1.0f), 1.7f));
}

// A setting sun of radius r centred at (cx, cy): gold above, magenta below, cut by
// horizontal gaps that widen towards its lower edge. Draws only above clipY.
void drawSun(Canvas& canvas, float cx, float cy, float r, float clipY)
{
    for (int py = std::max(0, int(cy - r * 2.5f)); py < std::min(int(clipY), canvas.height());
         ++py) {
        for (int px = std::max(0, int(cx - r * 2.5f));
             px < std::min(int(cx + r * 2.5f), canvas.width()); ++px) {
            float d = std::hypot(float(px) + 0.5f - cx, float(py) + 0.5f - cy);
            // The haze around the sun lights the sky (not the disc itself).
            canvas.addLight(px, py, Coral, 0.45f * std::exp(-std::max(0.0f, d - r) / (0.45f * r)));
        }
    }
    static const Colour disc[] = {Gold, Gold, Coral, Magenta};
    for (int py = std::max(0, int(cy - r - 1)); py < std::min(int(clipY), int(cy + r + 1));
         ++py) {
        float fy = float(py) + 0.5f;
        float v = (fy - (cy - r)) / (2.0f * r);
        float coverageY = 1.0f;
        if (v > 0.45f) {
            float period = r * 0.16f;
            float local = (v - 0.45f) / 0.55f;
            float gap = period * (0.12f + 0.6f * local);
            float pos = std::fmod(fy - (cy - r + 0.45f * 2.0f * r), period);
            coverageY = std::clamp(pos - gap + 0.5f, 0.0f, 1.0f);
        }
        for (int px = std::max(0, int(cx - r - 1)); px < std::min(int(cx + r + 2), canvas.width());
             ++px) {
            float d = std::hypot(float(px) + 0.5f - cx, fy - cy);
            float coverage = std::clamp(r - d + 0.5f, 0.0f, 1.0f) * coverageY;
            canvas.blend(px, py, gradient(disc, v), coverage);
        }
    }
}

// Coverage of a perspective grid on the ground below horizonY, seen from height 1 with
// lines every world unit, thinning and fading with distance so it never shimmers.
Mask gridFloor(int width, int height, float horizonY, float lineWidth, float scroll)
{
    Mask mask(width, height);
    float focal = float(width) * 0.55f;
    float cx = float(width) * 0.5f;
    // Coverage of the line nearest to world coordinate w, given how fast w changes per
    // pixel on screen (the length of its gradient).
    auto line = [&](float w, float perPixel) {
        float distance = std::fabs(w - std::round(w)) / perPixel;
        float widthPx = lineWidth / perPixel;
        float drawn = std::max(widthPx, 1.0f);
        float coverage = std::clamp(drawn * 0.5f + 0.5f - distance, 0.0f, 1.0f);
        // Lines closer together than a few pixels fade out instead of aliasing.
        return coverage * (widthPx / drawn) * smoothStep(4.0f, 10.0f, 1.0f / perPixel);
    };
    for (int py = std::max(0, int(horizonY)); py < height; ++py) {
        float dy = float(py) + 0.5f - horizonY;
        if (dy < 0.5f) {
            continue;
        }
        // Ground point under the pixel: depth z ahead, x across (camera height 1).
        float z = focal / dy;
        float fog = 1.0f - smoothStep(6.0f, 40.0f, z);
        float across = line(z + scroll, focal / (dy * dy));
        for (int px = 0; px < width; ++px) {
            float sx = float(px) + 0.5f - cx;
            float wx = sx / dy;
            float slope = std::sqrt(1.0f / (dy * dy) + (sx * sx) / (dy * dy * dy * dy));
            mask.at(px, py) = std::max(line(wx, slope), across) * fog;
        }
    }
    return mask;
}

// A band of light along the horizon, brightest in the middle of the picture.
void drawHorizonGlow(Canvas& canvas, float horizonY, Colour colour, float intensity)
{
    for (int x = 0; x < canvas.width(); ++x) {
        float middle = 1.0f - 0.5f * std::fabs(float(x) / float(canvas.width()) - 0.5f);
        for (int dy = -8; dy <= 8; ++dy) {
            float falloff = std::exp(-std::fabs(float(dy)) / 2.5f);
            canvas.addLight(x, int(horizonY) + dy, colour, intensity * middle * falloff);
        }
    }
}

// Paints a grid mask with a glow, near lines in nearColour, far lines in farColour.
void paintGrid(Canvas& canvas, const Mask& grid, float horizonY, Colour nearColour,
               Colour farColour, float opacity)
{
    auto shade = [&](int, int y) {
        float t = (float(y) - horizonY) / (float(canvas.height()) - horizonY);
        return mix(farColour, nearColour, std::sqrt(std::max(t, 0.0f)));
    };
    canvas.paintMask(blurred(grid, 4), 0, 0, opacity * 0.8f, shade);
    canvas.paintMask(grid, 0, 0, opacity, shade);
}

// ---------------------------------------------------------------- frames

Canvas loadingScreen()
{
    Canvas canvas(FrameWidth, FrameHeight);
    float horizon = FrameHeight * 0.72f;
    canvas.fill([&](float, float y) {
        if (y < horizon) {
            return mix(Night, Indigo * 0.9f, std::pow(y / horizon, 2.0f));
        }
        return mix(Indigo * 0.5f, Night, (y - horizon) / (FrameHeight - horizon));
    });
    drawStars(canvas, 260, horizon, 5);
    paintGrid(canvas, gridFloor(FrameWidth, FrameHeight, horizon, 0.04f, 0.3f), horizon, Violet,
              Indigo, 0.7f);
    drawHorizonGlow(canvas, horizon, Violet, 0.6f);

    TextStyle big;
    big.smooth = true;
    big.pixelSize = 20.0f;
    big.letterGap = 1.0f;
    big.slant = 0.18f;
    Mask title(FrameWidth, FrameHeight);
    drawTextCentred(title, "TALDREX", FrameWidth * 0.5f, 200.0f, big);
    paintLettering(canvas, title, titleLook());

    // A thin rule between the name and the status line.
    for (int x = 390; x < 890; ++x) {
        float t = float(x - 390) / 500.0f;
        float edge = smoothStep(0.0f, 0.15f, t) * smoothStep(1.0f, 0.85f, t);
        canvas.blend(x, 396, mix(Magenta, Cyan, t), edge);
        canvas.blend(x, 397, mix(Magenta, Cyan, t), edge * 0.6f);
    }

    TextStyle small;
    small.pixelSize = 5.0f;
    small.letterGap = 2.0f;
    Mask status(FrameWidth, FrameHeight);
    drawTextCentred(status, "LOADING...", FrameWidth * 0.5f, 430.0f, small);
    paintLettering(canvas, status, smallLook(Cyan));
    return canvas;
}

Canvas skyBackground()
{
    Canvas canvas(FrameWidth, FrameHeight);
    float horizon = FrameHeight * 0.64f;
    float sunX = FrameWidth * 0.5f;
    float sunR = FrameHeight * 0.2f;
    float sunY = horizon - sunR * 0.35f;
    canvas.fill([&](float x, float y) {
        if (y < horizon) {
            return eveningSky(y / horizon);
        }
        // Calm water: dark, with the sun's reflection broken into ripples.
        float depth = (y - horizon) / (FrameHeight - horizon);
        Colour water = mix(Violet * 0.55f, Night, std::sqrt(depth));
        float spread = sunR * (0.8f + 1.2f * depth);
        float beam = std::exp(-std::pow((x - sunX) / spread, 2.0f));
        // Ripples: long thin streaks, thicker nearer the viewer.
        float rows = (y - horizon) / (1.2f + 5.0f * depth);
        float ripple = fractalNoise(x / (70.0f + 90.0f * depth), rows, 2, 11);
        float glint = smoothStep(0.5f, 0.75f, ripple) * beam * (1.0f - depth * 0.7f);
        return water + mix(Gold, Magenta, depth * 1.5f) * (glint * 0.8f);
    });
    drawStars(canvas, 320, horizon * 0.6f, 21);
    drawSun(canvas, sunX, sunY, sunR, horizon);
    // The horizon line itself catches the light.
    for (int x = 0; x < FrameWidth; ++x) {
        float d = std::fabs(float(x) - sunX) / float(FrameWidth);
        canvas.addLight(x, int(horizon), Coral, 0.5f * (1.0f - d));
    }
    return canvas;
}

Canvas nebulaBackground()
{
    Canvas canvas(FrameWidth, FrameHeight);
    canvas.fill([&](float x, float y) {
        // Warping the lookup by a second noise turns blobs into wisps.
        float wx = fractalNoise(x / 300.0f, y / 300.0f, 4, 31);
        float wy = fractalNoise(x / 300.0f + 7.3f, y / 300.0f, 4, 32);
        float n = fractalNoise(x / 340.0f + wx * 1.8f, y / 340.0f + wy * 1.8f, 6, 33);
        float tint = fractalNoise(x / 500.0f, y / 500.0f, 3, 34);
        float density = smoothStep(0.38f, 0.82f, n);
        Colour cloud = mix(Violet, Magenta, smoothStep(0.5f, 0.9f, tint));
        cloud = mix(cloud, Cyan, smoothStep(0.62f, 0.85f, 1.0f - tint) * 0.6f);
        float vignette = 1.0f - 0.35f * std::pow(std::hypot(x / FrameWidth - 0.5f,
                                                             y / FrameHeight - 0.5f) * 1.4f,
                                                  2.0f);
        Colour base = mix(Night, Indigo * 0.7f, n * 0.6f);
        return (base + cloud * (density * density * 0.75f)) * vignette;
    });
    drawStars(canvas, 1400, FrameHeight * 2.0f, 35);
    return canvas;
}

Canvas horizonBackground()
{
    Canvas canvas(FrameWidth, FrameHeight);
    float horizon = FrameHeight * 0.55f;
    canvas.fill([&](float x, float y) {
        if (y < horizon) {
            static const Colour stops[] = {Night, Night, Indigo, Violet, Magenta};
            Colour sky = gradient(stops, y / horizon);
            // Mountains: a jagged ridge in silhouette against the glow.
            float ridge = horizon - FrameHeight * (0.03f + 0.12f * fractalNoise(x / 180.0f, 0.5f,
                                                                                  5, 41));
            float inside = std::clamp(y - ridge + 0.5f, 0.0f, 1.0f);
            float rim = std::exp(-std::fabs(y - ridge) / 1.5f);
            Colour mountain = mix(Night, Indigo, (y - ridge) / (horizon - ridge + 1.0f) * 0.5f);
            return mix(sky, mountain, inside) + Magenta * (rim * 0.6f);
        }
        float depth = (y - horizon) / (FrameHeight - horizon);
        return mix(Violet * 0.45f, Night, std::pow(depth, 0.4f));
    });
    drawStars(canvas, 500, horizon * 0.7f, 42);
    paintGrid(canvas, gridFloor(FrameWidth, FrameHeight, horizon, 0.05f, 0.0f), horizon, Cyan,
              Magenta, 1.0f);
    drawHorizonGlow(canvas, horizon, Magenta, 0.5f);
    return canvas;
}

// ---------------------------------------------------------------- overlays

Canvas titleOverlay()
{
    Canvas canvas(FrameWidth, FrameHeight);
    TextStyle big;
    big.smooth = true;
    big.pixelSize = 22.0f;
    big.slant = 0.18f;
    Mask title(FrameWidth, FrameHeight);
    drawTextCentred(title, "TALDREX", FrameWidth * 0.5f, 400.0f, big);
    paintLettering(canvas, title, titleLook());

    TextStyle small;
    small.pixelSize = 4.0f;
    small.letterGap = 2.0f;
    Mask subtitle(FrameWidth, FrameHeight);
    drawTextCentred(subtitle, "A REAL-TIME DEMO", FrameWidth * 0.5f, 592.0f, small);
    paintLettering(canvas, subtitle, smallLook(Ice));
    return canvas;
}

Canvas logoOverlay()
{
    Canvas canvas(FrameWidth, FrameHeight);
    float cx = FrameWidth - 112.0f;
    float cy = FrameHeight - 100.0f;
    Mask ring(FrameWidth, FrameHeight);
    addRing(ring, cx, cy, 50.0f, 58.0f);
    LetteringLook ringLook = titleLook();
    ringLook.top = Cyan;
    ringLook.bottom = Magenta;
    ringLook.glow = Cyan;
    ringLook.glowRadius = 6;
    ringLook.haloRadius = 10;
    ringLook.shadowOffset = 3;
    paintLettering(canvas, ring, ringLook);

    TextStyle letter;
    letter.smooth = true;
    letter.pixelSize = 9.0f;
    Mask mark(FrameWidth, FrameHeight);
    drawTextCentred(mark, "T", cx, cy - 3.5f * letter.pixelSize, letter);
    LetteringLook markLook = titleLook();
    markLook.glowRadius = 6;
    markLook.haloRadius = 8;
    markLook.shadowOffset = 3;
    paintLettering(canvas, mark, markLook);

    TextStyle name;
    name.pixelSize = 4.0f;
    name.letterGap = 2.0f;
    Mask label(FrameWidth, FrameHeight);
    float width = textWidth("TALDREX", name);
    drawText(label, "TALDREX", cx - 76.0f - width, cy - textHeight(name) * 0.5f, name);
    paintLettering(canvas, label, smallLook(Ice));
    return canvas;
}

Canvas creditsOverlay()
{
    Canvas canvas(FrameWidth, FrameHeight);
    TextStyle heading;
    heading.smooth = true;
    heading.pixelSize = 10.0f;
    heading.slant = 0.18f;
    Mask title(FrameWidth, FrameHeight);
    drawTextCentred(title, "CREDITS", FrameWidth * 0.5f, 150.0f, heading);
    LetteringLook headingLook = titleLook();
    headingLook.glowRadius = 8;
    headingLook.shadowOffset = 4;
    paintLettering(canvas, title, headingLook);

    static const char* const rows[][2] = {
        {"CODE", "THE TALDREX CREW"},
        {"MUSIC", "SYNTHESIZED IN C++"},
        {"PICTURES", "DRAWN BY CODE"},
        {"SCENES", "TCB KEYFRAMES"},
        {"FONT", "5 X 7 PIXELS"},
    };
    TextStyle line;
    line.pixelSize = 5.0f;
    line.letterGap = 1.5f;
    // Labels right-aligned against their values, the whole block centred.
    const float gap = 48.0f;
    float labelWidth = 0.0f;
    float valueWidth = 0.0f;
    for (const auto& row : rows) {
        labelWidth = std::max(labelWidth, textWidth(row[0], line));
        valueWidth = std::max(valueWidth, textWidth(row[1], line));
    }
    float column = (FrameWidth - labelWidth - gap - valueWidth) * 0.5f + labelWidth;
    Mask labels(FrameWidth, FrameHeight);
    Mask values(FrameWidth, FrameHeight);
    float y = 290.0f;
    for (const auto& row : rows) {
        drawText(labels, row[0], column - textWidth(row[0], line), y, line);
        drawText(values, row[1], column + gap, y, line);
        y += 62.0f;
    }
    paintLettering(canvas, labels, smallLook(Magenta));
    paintLettering(canvas, values, smallLook(Ice));
    return canvas;
}

Canvas theEndOverlay()
{
    Canvas canvas(FrameWidth, FrameHeight);
    TextStyle big;
    big.smooth = true;
    big.pixelSize = 20.0f;
    big.slant = 0.18f;
    Mask title(FrameWidth, FrameHeight);
    drawTextCentred(title, "THE END", FrameWidth * 0.5f, 250.0f, big);
    paintLettering(canvas, title, titleLook());

    TextStyle small;
    small.pixelSize = 4.0f;
    small.letterGap = 2.0f;
    Mask thanks(FrameWidth, FrameHeight);
    drawTextCentred(thanks, "THANKS FOR WATCHING", FrameWidth * 0.5f, 440.0f, small);
    paintLettering(canvas, thanks, smallLook(Cyan));
    return canvas;
}

// ---------------------------------------------------------------- textures

Canvas checkerTexture()
{
    Canvas canvas(TextureSize, TextureSize);
    Colour light = mix(Ice, Cyan, 0.15f);
    Colour dark = Indigo;
    canvas.fill([&](float x, float y) {
        int cell = (int(x) / 32 + int(y) / 32) % 2;
        // A faint bevel on each square's top-left edge gives the tiles some depth.
        float u = std::fmod(x, 32.0f);
        float v = std::fmod(y, 32.0f);
        float bevel = (u < 2.0f || v < 2.0f) ? 1.12f : (u > 30.0f || v > 30.0f) ? 0.85f : 1.0f;
        return (cell ? dark : light) * bevel;
    });
    return canvas;
}

Canvas gradientTexture()
{
    Canvas canvas(TextureSize, TextureSize);
    // Symmetric top to bottom, so the texture repeats along its height without a seam.
    static const Colour stops[] = {Indigo, Violet, Magenta, Coral, Gold,
                                   Coral, Magenta, Violet, Indigo};
    canvas.fill([&](float, float y) { return gradient(stops, y / TextureSize); });
    return canvas;
}

Canvas marbleTexture()
{
    Canvas canvas(TextureSize, TextureSize);
    canvas.fill([&](float x, float y) {
        // Noise and vein waves both repeat every 256 pixels, so the texture tiles.
        float n = fractalNoise(x / 64.0f, y / 64.0f, 5, 51, 4);
        float wave = std::sin((x / TextureSize * 2.0f + y / TextureSize) * 2.0f * Pi + n * 6.0f);
        float vein = 0.6f * std::pow(1.0f - std::fabs(wave), 3.0f) +
                     0.4f * std::pow(1.0f - std::fabs(wave), 14.0f);
        float cloud = fractalNoise(x / 32.0f, y / 32.0f, 3, 52, 8);
        Colour stone = mix(Ice, mix(Ice, Violet, 0.35f), cloud);
        return mix(stone, Violet * 0.8f, vein * 0.85f);
    });
    return canvas;
}

// The world a chrome ball reflects, by direction (y up): sky above a bright horizon,
// dark ground below, and the sun up and to the left.
Colour chromeWorld(float rx, float ry, float rz)
{
    Colour c;
    if (ry >= 0.0f) {
        c = mix(mix(Ice, Cyan, 0.4f), mix(Cyan, Violet, 0.7f), std::pow(ry, 0.8f));
    } else {
        c = mix(Magenta * 0.8f, Night, std::pow(-ry, 0.4f));
    }
    c = c + Ice * (0.8f * std::exp(-std::fabs(ry) * 25.0f));
    float sun = std::max(0.0f, (-0.45f * rx + 0.6f * ry + 0.66f * rz) / 0.99f);
    return c + Ice * (std::pow(sun, 60.0f) * 1.5f) + Gold * (std::pow(sun, 8.0f) * 0.25f);
}

Canvas chromeTexture()
{
    Canvas canvas(TextureSize, TextureSize);
    canvas.fill([&](float x, float y) {
        // The picture's top is up in eye space: u, v in [-1, 1] are the ball's normal.
        float u = x / TextureSize * 2.0f - 1.0f;
        float v = 1.0f - y / TextureSize * 2.0f;
        float r2 = u * u + v * v;
        if (r2 >= 1.0f) {
            // Beyond the rim the ball shows what is behind the viewer's back.
            float s = 1.0f / std::sqrt(r2);
            u *= s * 0.999f;
            v *= s * 0.999f;
            r2 = u * u + v * v;
        }
        float nz = std::sqrt(std::max(0.0f, 1.0f - r2));
        // Reflect the view direction (0, 0, -1) about the normal.
        return chromeWorld(2.0f * nz * u, 2.0f * nz * v, 2.0f * nz * nz - 1.0f);
    });
    return canvas;
}

Canvas stripesTexture()
{
    Canvas canvas(TextureSize, TextureSize);
    const int samples = 4;
    for (int y = 0; y < TextureSize; ++y) {
        for (int x = 0; x < TextureSize; ++x) {
            // Diagonal stripes 16 pixels wide every 32, alternating cyan and magenta;
            // both periods divide 256, so the texture tiles.
            float cyan = 0.0f;
            float magenta = 0.0f;
            for (int s = 0; s < samples * samples; ++s) {
                float d = float(x + y) + (float(s % samples) + float(s / samples) + 1.0f) /
                                            float(samples);
                float phase = std::fmod(d, 64.0f);
                if (phase < 16.0f) {
                    cyan += 1.0f;
                } else if (phase >= 32.0f && phase < 48.0f) {
                    magenta += 1.0f;
                }
            }
            cyan /= samples * samples;
            magenta /= samples * samples;
            Pixel& p = canvas.at(x, y);
            // The gaps stay faintly dark-blue so the stripes read on any backdrop.
            float gap = 1.0f - cyan - magenta;
            float alpha = cyan + magenta + gap * 0.25f;
            p.r = Cyan.r * cyan + Magenta.r * magenta + Night.r * gap * 0.25f;
            p.g = Cyan.g * cyan + Magenta.g * magenta + Night.g * gap * 0.25f;
            p.b = Cyan.b * cyan + Magenta.b * magenta + Night.b * gap * 0.25f;
            p.a = alpha;
        }
    }
    return canvas;
}

Canvas glowTexture()
{
    const int size = 128;
    Canvas canvas(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float r = std::hypot(float(x) + 0.5f - size * 0.5f, float(y) + 0.5f - size * 0.5f) /
                      (size * 0.5f);
            float falloff = std::pow(1.0f - smoothStep(0.0f, 1.0f, r), 2.0f);
            Colour c = mix(Ice, Coral, r * 1.3f);
            // Colour fades with alpha too, so the sprite disappears at its edge however
            // it is blended.
            float a = falloff;
            canvas.at(x, y) = {c.r * falloff * a, c.g * falloff * a, c.b * falloff * a, a};
        }
    }
    return canvas;
}

// ---------------------------------------------------------------- dialog

Canvas dialogPicture()
{
    const int width = 180;
    const int height = 186;
    Canvas canvas(width, height);
    float horizon = 128.0f;
    canvas.fill([&](float, float y) {
        if (y < horizon) {
            return eveningSky(y / horizon);
        }
        return mix(Violet * 0.45f, Night, (y - horizon) / (height - horizon));
    });
    drawStars(canvas, 40, horizon * 0.5f, 61);
    drawSun(canvas, width * 0.5f, horizon - 14.0f, 44.0f, horizon);
    paintGrid(canvas, gridFloor(width, height, horizon, 0.06f, 0.0f), horizon, Cyan, Magenta,
              1.0f);

    TextStyle name;
    name.pixelSize = 3.0f;
    name.slant = 0.18f;
    name.smooth = true;
    Mask title(width, height);
    drawTextCentred(title, "TALDREX", width * 0.5f, 16.0f, name);
    LetteringLook look = titleLook();
    look.glowRadius = 3;
    look.haloRadius = 4;
    look.shadowOffset = 2;
    paintLettering(canvas, title, look);
    return canvas;
}

} // namespace

bool writePictures(const std::string& dataDir, std::string& error)
{
    auto path = [&](const char* name) { return dataDir + "/" + name; };
    return writeJpeg(path(show::LoadingPicture), loadingScreen(), JpegQuality, error) &&
           writeJpeg(path(show::SkyBackground), skyBackground(), JpegQuality, error) &&
           writeJpeg(path(show::NebulaBackground), nebulaBackground(), JpegQuality, error) &&
           writeJpeg(path(show::HorizonBackground), horizonBackground(), JpegQuality, error) &&
           writePng(path(show::TitleOverlay), titleOverlay(), true, error) &&
           writePng(path(show::LogoOverlay), logoOverlay(), true, error) &&
           writePng(path(show::CreditsOverlay), creditsOverlay(), true, error) &&
           writePng(path(show::TheEndOverlay), theEndOverlay(), true, error) &&
           writeJpeg(path(show::CheckerTexture), checkerTexture(), JpegQuality, error) &&
           writeJpeg(path(show::GradientTexture), gradientTexture(), JpegQuality, error) &&
           writeJpeg(path(show::MarbleTexture), marbleTexture(), JpegQuality, error) &&
           writeJpeg(path(show::ChromeTexture), chromeTexture(), JpegQuality, error) &&
           writePng(path(show::StripesTexture), stripesTexture(), true, error) &&
           writePng(path(show::GlowTexture), glowTexture(), true, error) &&
           writeBmp(path(show::DialogPicture), dialogPicture(), error);
}
