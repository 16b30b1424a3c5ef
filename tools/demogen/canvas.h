// Pictures in the making: a canvas of premultiplied float RGBA pixels, coverage masks,
// and the few painting operations the show's pictures are built from.
#pragma once

#include "palette.h"

#include <cstdint>
#include <functional>
#include <vector>

// A premultiplied pixel: colour already scaled by alpha, so layers add up plainly.
struct Pixel {
    float r;
    float g;
    float b;
    float a;
};

// How much of each pixel a shape covers, from 0 to 1.
struct Mask {
    Mask(int w, int h) : width(w), height(h), values(size_t(w) * size_t(h), 0.0f) {}
    float& at(int x, int y) { return values[size_t(y) * size_t(width) + size_t(x)]; }
    float at(int x, int y) const { return values[size_t(y) * size_t(width) + size_t(x)]; }

    int width;
    int height;
    std::vector<float> values;
};

class Canvas {
public:
    // A canvas of w x h pixels, all transparent.
    Canvas(int w, int h);

    int width() const { return w; }
    int height() const { return h; }
    Pixel& at(int x, int y) { return pixels[size_t(y) * size_t(w) + size_t(x)]; }
    const Pixel& at(int x, int y) const { return pixels[size_t(y) * size_t(w) + size_t(x)]; }

    // Sets every pixel to the opaque colour shade(x, y) returns (x, y at pixel centres).
    void fill(const std::function<Colour(float x, float y)>& shade);

    // Paints colour over pixel (x, y) with the given opacity (pixels outside are ignored).
    void blend(int x, int y, Colour colour, float opacity);

    // Adds colour x intensity to pixel (x, y) of an opaque canvas: light, not paint.
    void addLight(int x, int y, Colour colour, float intensity);

    // Paints mask over the canvas, offset by (dx, dy), each pixel in shade(x, y) at
    // opacity times its coverage.
    void paintMask(const Mask& mask, int dx, int dy, float opacity,
                   const std::function<Colour(int x, int y)>& shade);

    // 8-bit red, green, blue per pixel, top row first, composited over black. A faint
    // fixed dither pattern keeps smooth gradients from banding.
    std::vector<uint8_t> rgb8() const;
    // 8-bit red, green, blue, alpha per pixel (straight, not premultiplied), top row first.
    std::vector<uint8_t> rgba8() const;

private:
    int w;
    int h;
    std::vector<Pixel> pixels;
};

// mask blurred by three box passes of the given radius (close to a Gaussian).
Mask blurred(const Mask& mask, int radius);

// mask grown by radius pixels in every direction (the maximum over a square).
Mask dilated(const Mask& mask, int radius);

// Coverage of a disc of radius r at (cx, cy), with an anti-aliased rim, added to mask.
void addDisc(Mask& mask, float cx, float cy, float r);

// Coverage of a ring between radii inner and outer around (cx, cy), added to mask.
void addRing(Mask& mask, float cx, float cy, float inner, float outer);

// Smooth step from 0 at edge0 to 1 at edge1.
float smoothStep(float edge0, float edge1, float x);
