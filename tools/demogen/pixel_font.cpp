#include "pixel_font.h"

#include <algorithm>
#include <cmath>

namespace {

struct Glyph {
    char character;
    const char* rows[GlyphRows];
};

// Drawn by hand on a 5 x 7 grid: '#' is ink.
const Glyph Glyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {';', {".....", ".##..", ".##..", ".....", ".##..", "..#..", ".#..."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
    {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
    {'"', {".#.#.", ".#.#.", ".....", ".....", ".....", ".....", "....."}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
    {'&', {".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"}},
    {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
    {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
    {'*', {".....", "..#..", "#.#.#", ".###.", "#.#.#", "..#..", "....."}},
    {'_', {".....", ".....", ".....", ".....", ".....", ".....", "#####"}},
    {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
    {'%', {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}},
};

constexpr int GlyphCount = int(sizeof(Glyphs) / sizeof(Glyphs[0]));

// The glyphs as bit rows, built once from the drawings above.
struct GlyphTable {
    GlyphTable()
    {
        for (int g = 0; g < GlyphCount; ++g) {
            for (int r = 0; r < GlyphRows; ++r) {
                uint8_t bits = 0;
                for (int c = 0; c < GlyphColumns; ++c) {
                    if (Glyphs[g].rows[r][c] == '#') {
                        bits |= uint8_t(1u << (GlyphColumns - 1 - c));
                    }
                }
                rows[g][r] = bits;
            }
        }
    }
    uint8_t rows[GlyphCount][GlyphRows];
};

const GlyphTable& table()
{
    static const GlyphTable built;
    return built;
}

bool ink(const uint8_t* rows, int column, int row)
{
    if (column < 0 || column >= GlyphColumns || row < 0 || row >= GlyphRows) {
        return false;
    }
    return (rows[row] >> (GlyphColumns - 1 - column)) & 1u;
}

// Whether the point (fx, fy) in font pixels is inked, with the smoothing of TextStyle:
// an empty pixel gets the half next to a corner whose two neighbours along the edges are
// ink while the pixel diagonally across that corner is not.
bool inkAt(const uint8_t* rows, float fx, float fy, bool smooth)
{
    int column = int(std::floor(fx));
    int row = int(std::floor(fy));
    if (ink(rows, column, row)) {
        return true;
    }
    if (!smooth) {
        return false;
    }
    float u = fx - float(column);
    float v = fy - float(row);
    for (int dy : {-1, 1}) {
        for (int dx : {-1, 1}) {
            float toCorner = (dx < 0 ? u : 1.0f - u) + (dy < 0 ? v : 1.0f - v);
            if (toCorner < 1.0f && ink(rows, column + dx, row) && ink(rows, column, row + dy) &&
                !ink(rows, column + dx, row + dy)) {
                return true;
            }
        }
    }
    return false;
}

// Samples per canvas pixel along each axis when measuring coverage.
constexpr int Oversampling = 4;

} // namespace

const uint8_t* glyphRows(char c)
{
    if (c >= 'a' && c <= 'z') {
        c = char(c - 'a' + 'A');
    }
    for (int g = 0; g < GlyphCount; ++g) {
        if (Glyphs[g].character == c) {
            return table().rows[g];
        }
    }
    return nullptr;
}

float textWidth(const std::string& text, const TextStyle& style)
{
    if (text.empty()) {
        return 0.0f;
    }
    float cells = float(text.size()) * (GlyphColumns + style.letterGap) - style.letterGap;
    return cells * style.pixelSize;
}

float textHeight(const TextStyle& style)
{
    return GlyphRows * style.pixelSize;
}

void drawText(Mask& mask, const std::string& text, float x, float y, const TextStyle& style)
{
    float advance = (GlyphColumns + style.letterGap) * style.pixelSize;
    float slantWidth = style.slant * GlyphRows * style.pixelSize;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t* rows = glyphRows(text[i]);
        if (!rows) {
            continue;
        }
        float left = x + float(i) * advance;
        int x0 = std::max(0, int(std::floor(left)));
        int x1 = std::min(mask.width - 1,
                          int(std::ceil(left + GlyphColumns * style.pixelSize + slantWidth)));
        int y0 = std::max(0, int(std::floor(y)));
        int y1 = std::min(mask.height - 1, int(std::ceil(y + textHeight(style))));
        for (int py = y0; py <= y1; ++py) {
            for (int px = x0; px <= x1; ++px) {
                int hits = 0;
                for (int sy = 0; sy < Oversampling; ++sy) {
                    float fy = (float(py) + (float(sy) + 0.5f) / Oversampling - y) /
                               style.pixelSize;
                    // Rows nearer the top lean further right.
                    float shift = style.slant * (GlyphRows - fy);
                    for (int sx = 0; sx < Oversampling; ++sx) {
                        float fx = (float(px) + (float(sx) + 0.5f) / Oversampling - left) /
                                       style.pixelSize -
                                   shift;
                        if (fx >= 0.0f && fy >= 0.0f && inkAt(rows, fx, fy, style.smooth)) {
                            ++hits;
                        }
                    }
                }
                if (hits > 0) {
                    float& m = mask.at(px, py);
                    m = std::min(1.0f, m + float(hits) / (Oversampling * Oversampling));
                }
            }
        }
    }
}

void drawTextCentred(Mask& mask, const std::string& text, float centreX, float y,
                     const TextStyle& style)
{
    float width = textWidth(text, style) + style.slant * textHeight(style);
    drawText(mask, text, centreX - width * 0.5f, y, style);
}
