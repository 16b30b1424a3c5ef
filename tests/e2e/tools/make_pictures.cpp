// Writes the hostile pictures the texture budget test loads, into the folder given:
// onebit.png, a genuine 33 KB one-bit PNG of 16384 x 16384 pixels; declared.png,
// declared.jpg and progressive.jpg, tiny files declaring 16384 x 16384; scans.jpg, a progressive JPEG of 2000
// extra empty scans; texts.png, a 1 x 1 PNG with 40 inflating text chunks; and
// picture-0.jpg .. picture-9.jpg, flat grey 2048 x 2048 JPEGs, each within a small budget
// but together past it.
#include "support/image_bombs.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = bombs::writeFile(folder + "/onebit.png", bombs::oneBitPng(16384)) &&
        bombs::writeFile(folder + "/declared.png", bombs::pngDeclaring(16384, 16384)) &&
        bombs::writeFile(folder + "/declared.jpg", bombs::jpegDeclaring(16384, 16384)) &&
        bombs::writeFile(folder + "/progressive.jpg", bombs::jpegDeclaring(16384, 16384, true)) &&
        bombs::writeFile(folder + "/scans.jpg", bombs::progressiveWithExtraScans(1448, 2000)) &&
        bombs::writeFile(folder + "/texts.png", bombs::pngWithTexts(40));
    const std::string picture = bombs::flatJpeg(2048, 2048, 3, false);
    for (int i = 0; ok && i < 10; ++i)
        ok = bombs::writeFile(folder + "/picture-" + std::to_string(i) + ".jpg", picture);
    if (!ok) {
        std::fprintf(stderr, "%s: could not write the pictures into %s\n", argv[0], folder.c_str());
        return 1;
    }
    return 0;
}
