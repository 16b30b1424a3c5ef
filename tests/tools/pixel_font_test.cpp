#include "pixel_font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const Supported = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,:;!?-'\"/&()+=*_#%";

std::vector<uint8_t> glyphOf(char c)
{
    const uint8_t* rows = glyphRows(c);
    return rows ? std::vector<uint8_t>(rows, rows + GlyphRows) : std::vector<uint8_t>();
}

// Coverage of one font pixel (column, row) of text drawn at the origin, averaged.
float cellCoverage(const Mask& mask, const TextStyle& style, int column, int row)
{
    int size = int(style.pixelSize);
    float sum = 0.0f;
    for (int y = row * size; y < (row + 1) * size; ++y) {
        for (int x = column * size; x < (column + 1) * size; ++x) {
            sum += mask.at(x, y);
        }
    }
    return sum / float(size * size);
}

} // namespace

TEST(PixelFont, EverySupportedCharacterHasItsOwnNonEmptyGlyph)
{
    std::set<std::vector<uint8_t>> seen;
    for (const char* c = Supported; *c; ++c) {
        std::vector<uint8_t> glyph = glyphOf(*c);
        ASSERT_EQ(glyph.size(), size_t(GlyphRows)) << *c;
        int ink = 0;
        for (uint8_t row : glyph) {
            EXPECT_LT(row, 1u << GlyphColumns) << *c;
            ink += row != 0;
        }
        EXPECT_GT(ink, 0) << *c;
        // Two identical glyphs would mean one was copied and never redrawn.
        EXPECT_TRUE(seen.insert(glyph).second) << *c << " looks like another character";
    }
}

TEST(PixelFont, LowerCaseDrawsCapitalsAndUnknownCharactersAreBlank)
{
    EXPECT_EQ(glyphOf('q'), glyphOf('Q'));
    EXPECT_EQ(glyphRows('~'), nullptr);
    EXPECT_EQ(glyphRows(' '), nullptr);

    TextStyle style;
    style.pixelSize = 2.0f;
    Mask mask(64, 16);
    drawText(mask, "~ @", 0.0f, 0.0f, style);
    for (float v : mask.values) {
        ASSERT_EQ(v, 0.0f);
    }
}

TEST(PixelFont, AlignedLetteringCoversExactlyItsInk)
{
    TextStyle style;
    style.pixelSize = 4.0f;
    Mask mask(40, 40);
    drawText(mask, "L", 0.0f, 0.0f, style);
    for (int row = 0; row < GlyphRows; ++row) {
        for (int column = 0; column < GlyphColumns; ++column) {
            bool ink = column == 0 || row == GlyphRows - 1;
            EXPECT_FLOAT_EQ(cellCoverage(mask, style, column, row), ink ? 1.0f : 0.0f)
                << "column " << column << " row " << row;
        }
    }
    // Nothing beyond the glyph's cell.
    for (int y = 0; y < mask.height; ++y) {
        for (int x = GlyphColumns * 4; x < mask.width; ++x) {
            ASSERT_EQ(mask.at(x, y), 0.0f);
        }
    }
}

TEST(PixelFont, HalfPixelPositionsGiveHalfCoveredEdges)
{
    TextStyle style;
    style.pixelSize = 4.0f;
    Mask mask(40, 40);
    drawText(mask, "I", 0.5f, 0.0f, style);
    // The stem of I is column 2 (x 8 to 12), shifted by half a canvas pixel.
    EXPECT_FLOAT_EQ(mask.at(8, 12), 0.5f);
    EXPECT_FLOAT_EQ(mask.at(10, 12), 1.0f);
    EXPECT_FLOAT_EQ(mask.at(12, 12), 0.5f);
}

TEST(PixelFont, WidthAndCentringMatchTheDrawnInk)
{
    TextStyle style;
    style.pixelSize = 3.0f;
    style.letterGap = 2.0f;
    // Seven letters of five columns with six gaps of two, three pixels each.
    EXPECT_FLOAT_EQ(textWidth("TALDREX", style), (7 * 5 + 6 * 2) * 3.0f);
    EXPECT_FLOAT_EQ(textWidth("", style), 0.0f);
    EXPECT_FLOAT_EQ(textHeight(style), 21.0f);

    Mask mask(300, 40);
    drawTextCentred(mask, "TALDREX", 150.5f, 5.0f, style);
    int left = mask.width;
    int right = -1;
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if (mask.at(x, y) > 0.0f) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    // T and X both reach their glyph's outer columns, so the ink is centred too.
    EXPECT_FLOAT_EQ((left + right + 1) * 0.5f, 150.5f);
    EXPECT_EQ(right + 1 - left, int(textWidth("TALDREX", style)));
}

TEST(PixelFont, SlantLeansTheTopToTheRight)
{
    TextStyle style;
    style.pixelSize = 4.0f;
    style.slant = 0.25f;
    Mask mask(60, 40);
    drawText(mask, "I", 0.0f, 0.0f, style);
    auto firstInk = [&](int y) {
        for (int x = 0; x < mask.width; ++x) {
            if (mask.at(x, y) > 0.5f) {
                return x;
            }
        }
        return -1;
    };
    // Top and bottom rows of I are columns 1 to 3; the top row's middle (y 1.5) lies
    // 6.5 font pixels above the bottom row's (y 27.5), so 0.25 x 6.5 font pixels, or
    // 6.5 canvas pixels, further right.
    EXPECT_NEAR(firstInk(1) - firstInk(27), 6.5, 0.5);
}

TEST(PixelFont, SmoothingFillsDiagonalStepsAndKeepsSquareCorners)
{
    TextStyle plain;
    plain.pixelSize = 8.0f;
    TextStyle smooth = plain;
    smooth.smooth = true;
    for (char c : std::string("NEXO")) {
        Mask a(64, 64);
        Mask b(64, 64);
        drawText(a, std::string(1, c), 0.0f, 0.0f, plain);
        drawText(b, std::string(1, c), 0.0f, 0.0f, smooth);
        for (size_t i = 0; i < a.values.size(); ++i) {
            ASSERT_GE(b.values[i], a.values[i]) << c << ": smoothing only adds ink";
        }
        // N: the empty pixel right of the diagonal step (1, 2) -> (2, 3) gets half.
        if (c == 'N') {
            EXPECT_EQ(cellCoverage(a, plain, 2, 2), 0.0f);
            EXPECT_NEAR(cellCoverage(b, smooth, 2, 2), 0.5f, 0.05f);
        }
        // E's inner corners have ink diagonally across: they stay square.
        if (c == 'E') {
            EXPECT_EQ(cellCoverage(b, smooth, 1, 1), 0.0f);
        }
        // O's outer corners round off.
        if (c == 'O') {
            EXPECT_NEAR(cellCoverage(b, smooth, 0, 0), 0.5f, 0.05f);
        }
    }
}
