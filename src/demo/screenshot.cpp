#include "demo/screenshot.h"

#include "common/printable_text.h"
#include "image/png_encoder.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace {

// Names tried for one moment before giving up: far more than anyone presses S in one ms.
constexpr int MostSuffixes = 1000;

// Opens a file at the first of base.png, base-2.png ... that does not exist yet, created
// exclusively so that two takes can never share one. Null, with errno, when none opens.
std::FILE* createUnique(const std::string& base, std::string& path)
{
    for (int n = 1; n <= MostSuffixes; ++n) {
        path = n == 1 ? base + ".png" : base + "-" + std::to_string(n) + ".png";
        if (std::FILE* file = std::fopen(path.c_str(), "wbx"))
            return file;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

// RGBA rows packed into RGB in place: the window's alpha is not part of what it shows.
void dropAlpha(std::vector<unsigned char>& pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        pixels[i * 3] = pixels[i * 4];
        pixels[i * 3 + 1] = pixels[i * 4 + 1];
        pixels[i * 3 + 2] = pixels[i * 4 + 2];
    }
}

} // namespace

std::string ScreenshotName(const std::string& show, double clockMs)
{
    const long long ms = clockMs > 0 ? std::llround(std::floor(clockMs)) : 0;
    char time[48];
    std::snprintf(time, sizeof time, "%02lldm%02lld.%03llds", ms / 60000, ms / 1000 % 60, ms % 1000);
    return "taldrex-" + show + "-" + time + ".png";
}

std::string ScreenshotShowName(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::path path = std::filesystem::weakly_canonical(
        std::filesystem::absolute(folder.empty() ? "." : folder, ignored), ignored);
    std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..")
        name = path.parent_path().filename().string();
    if (name.empty())
        return "show";
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '_';
    }
    return name;
}

Screenshots::Screenshots(std::string folder, std::string show) : folder_(std::move(folder)), show_(std::move(show)) {}

Screenshots::~Screenshots() = default;

void Screenshots::prepare(int width, int height)
{
    if (readback_ && width == width_ && height == height_)
        return;
    readback_ = std::make_unique<FrameReadback>();
    readback_->create(width, height, 1);
    pixels_.assign(static_cast<size_t>(width) * height * 4, 0);
    width_ = width;
    height_ = height;
}

std::string Screenshots::take(int width, int height, double clockMs, std::string& problem)
{
    prepare(width, height);
    readback_->start(0);
    readback_->collect(pixels_.data());
    if (readback_->failed()) {
        problem = "the picture could not be read back";
        // A fresh read-back next time, rather than one whose buffer would not map.
        readback_.reset();
        return {};
    }
    dropAlpha(pixels_, static_cast<size_t>(width) * height);

    std::string base = ScreenshotName(show_, clockMs);
    base.resize(base.size() - 4);
    if (!folder_.empty())
        base = folder_ + "/" + base;
    std::string path;
    std::FILE* file = createUnique(base, path);
    if (!file) {
        problem = PrintableText(path) + ": cannot be created (" +
            (errno == EEXIST ? std::string("every name up to -1000 is taken") : std::strerror(errno)) + ")";
        return {};
    }
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.channels = 3;
    picture.pixels = pixels_.data();
    picture.bottomRowFirst = true;
    std::string message;
    const bool written = WritePng(file, picture, PngCompression::Fast, &message);
    const bool closed = std::fclose(file) == 0;
    const int reason = errno;
    if (!closed || !written) {
        std::remove(path.c_str());
        problem = PrintableText(path) + ": cannot be written (" + (written ? std::strerror(reason) : message) + ")";
        return {};
    }
    return path;
}

void Screenshots::takeAndReport(int width, int height, double clockMs, uint32_t nowMs)
{
    std::string problem;
    const std::string path = take(width, height, clockMs, problem);
    if (path.empty()) {
        notice_ = "no screenshot: " + problem;
        std::fprintf(stderr, "taldrex: %s\n", notice_.c_str());
    } else {
        notice_ = "screenshot " + PrintableText(path) + " (" + std::to_string(width) + "x" +
            std::to_string(height) + ")";
        std::printf("taldrex: %s\n", notice_.c_str());
        std::fflush(stdout);
    }
    noticeTick_ = nowMs;
}

bool Screenshots::notice(char* text, size_t size, uint32_t nowMs) const
{
    if (notice_.empty() || nowMs - noticeTick_ >= NoticeMs || size == 0)
        return false;
    std::snprintf(text, size, "%s", notice_.c_str());
    return true;
}
