// taldrex-appicon OUTDIR: writes the player's icon, drawn by its own code, as
// OUTDIR/NxN/apps/taldrex.png at each size desktops look for (the hicolor theme's layout).
#include "image/png_encoder.h"
#include "player/artwork.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int IconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Writes the icon of one size under outDir. Returns false, after printing why with the
// file's name, when the folder or the file cannot be written.
bool writeIcon(const std::string& outDir, int size)
{
    const std::string side = std::to_string(size);
    const std::filesystem::path folder = std::filesystem::path(outDir) / (side + "x" + side) / "apps";
    const std::string file = (folder / "taldrex.png").string();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "taldrex-appicon: %s: %s\n", folder.string().c_str(), error.message().c_str());
        return false;
    }
    const std::vector<unsigned char> pixels = DrawAppIcon(size);
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "taldrex-appicon: %s: %s\n", file.c_str(), std::strerror(errno));
        return false;
    }
    std::string problem;
    const bool written = WritePng(out, {size, size, 4, pixels.data(), false}, PngCompression::Standard, &problem);
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "taldrex-appicon: %s: %s\n", file.c_str(),
                     written ? std::strerror(errno) : problem.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const char* const usage = "usage: taldrex-appicon OUTDIR\n"
                              "Writes the player's icon as OUTDIR/NxN/apps/taldrex.png, 16 to 256 pixels.\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(usage, stderr);
        return 2;
    }
    for (const int size : IconSizes) {
        if (!writeIcon(argv[1], size))
            return 1;
    }
    return 0;
}
