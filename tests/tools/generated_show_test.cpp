// Runs the real generator, as the build does, and checks the demo folder it writes.
#include "media_decoding.h"

#include "demo/script_parser.h"
#include "show_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string makeTempDir()
{
    std::string pattern = (fs::temp_directory_path() / "taldrex-show-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

struct RunResult {
    int status = -1;
    std::string output;
};

// Runs the generator with the given arguments (each quoted), capturing both output streams.
RunResult runGenerator(const std::string& arguments)
{
    RunResult result;
    std::string command = std::string("'") + TALDREX_DEMOGEN + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Every regular file under dir, as sorted paths relative to it.
std::vector<std::string> filesUnder(const std::string& dir)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files.push_back(fs::relative(entry.path(), dir).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

double decibels(double ratio)
{
    return 20.0 * std::log10(std::max(ratio, 1e-9));
}

} // namespace

// The show the build wrote next to the player.
class GeneratedShow : public ::testing::Test {
protected:
    static std::string data(const std::string& name) { return built + "/data/" + name; }

    static const std::string built;
};

const std::string GeneratedShow::built = TALDREX_BINARY_DIR "/show";

TEST_F(GeneratedShow, EveryRunWritesTheSameFilesByteForByte)
{
    std::string fresh = makeTempDir();
    ASSERT_FALSE(fresh.empty());
    RunResult run = runGenerator("'" + fresh + "/show'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(run.output.empty()) << run.output;

    std::vector<std::string> files = filesUnder(built);
    EXPECT_EQ(files, filesUnder(fresh + "/show"));
    for (const char* expected : {"script.txt", "data/music.mp3", "data/loading.jpg",
                                 "data/dialog.bmp"}) {
        EXPECT_NE(std::find(files.begin(), files.end(), expected), files.end()) << expected;
    }
    for (const std::string& file : files) {
        std::string a = readFile(built + "/" + file);
        EXPECT_FALSE(a.empty()) << file;
        EXPECT_TRUE(a == readFile(fresh + "/show/" + file)) << file << " differs between runs";
    }
    fs::remove_all(fresh);
}

TEST_F(GeneratedShow, EveryFileTheScriptNamesIsThere)
{
    const ShowPlan script = ParseScript(readFile(built + "/script.txt"));
    int soundtracks = 0, textures = 0;
    for (const PlanEntry& entry : script.entries) {
        if (entry.kind == EntryKind::Scene)
            continue;
        EXPECT_TRUE(fs::is_regular_file(data(entry.key))) << entry.key;
        ++(entry.kind == EntryKind::Soundtrack ? soundtracks : textures);
    }
    EXPECT_EQ(soundtracks, 1);
    EXPECT_GT(textures, 0);
    EXPECT_EQ(script.parts.size(), show::PartCount);
}

TEST_F(GeneratedShow, MusicDecodesToTheShowLengthWithoutClipping)
{
    DecodedSound sound = decodeMp3(data(show::MusicFile));
    ASSERT_EQ(sound.rate, 44100);
    ASSERT_EQ(sound.channels, 2);
    // The LAME tag lets the decoder drop the encoder's padding: the length is exact.
    size_t frames = sound.samples.size() / 2;
    EXPECT_EQ(frames, size_t(show::MusicMs) * 441 / 10);
    double seconds = double(frames) / 44100.0;
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 90.0);
    EXPECT_LT(show::LastPartEndMs, seconds * 1000.0);

    int peak = 0;
    double energy = 0.0;
    for (int16_t s : sound.samples) {
        peak = std::max(peak, std::abs(int(s)));
        energy += double(s) * s;
    }
    EXPECT_LT(peak, 32767) << "the decoded music clips";
    double rms = decibels(std::sqrt(energy / double(sound.samples.size())) / 32768.0);
    EXPECT_GT(rms, -20.0);
    EXPECT_LT(rms, -10.0);
}

TEST_F(GeneratedShow, MusicPlaysInEveryBarAndFadesOutAtTheEnd)
{
    DecodedSound sound = decodeMp3(data(show::MusicFile));
    ASSERT_EQ(sound.channels, 2);
    size_t barSamples = size_t(show::MsPerBar) * 441 / 10 * 2;
    auto barLevel = [&](size_t begin, size_t end) {
        double energy = 0.0;
        for (size_t i = begin; i < end && i < sound.samples.size(); ++i) {
            energy += double(sound.samples[i]) * sound.samples[i];
        }
        return decibels(std::sqrt(energy / double(end - begin)) / 32768.0);
    };
    for (int bar = 0; bar < show::Bars; ++bar) {
        EXPECT_GT(barLevel(bar * barSamples, (bar + 1) * barSamples), -40.0) << "bar " << bar;
    }
    size_t end = sound.samples.size();
    EXPECT_LT(barLevel(end - 4410 * 2, end), -50.0) << "the last 0.1 s should be near silence";
}

TEST_F(GeneratedShow, PicturesDecodeToTheirSizes)
{
    struct Expected {
        const char* name;
        int width;
        int height;
    };
    const Expected jpegs[] = {
        {show::LoadingPicture, 1280, 720},  {show::SkyBackground, 1280, 720},
        {show::NebulaBackground, 1280, 720}, {show::HorizonBackground, 1280, 720},
        {show::CheckerTexture, 256, 256},   {show::GradientTexture, 256, 256},
        {show::MarbleTexture, 256, 256},    {show::ChromeTexture, 256, 256},
    };
    for (const Expected& e : jpegs) {
        DecodedImage image = decodeJpeg(data(e.name));
        EXPECT_EQ(image.width, e.width) << e.name;
        EXPECT_EQ(image.height, e.height) << e.name;
    }
    const Expected pngs[] = {
        {show::TitleOverlay, 1280, 720}, {show::LogoOverlay, 1280, 720},
        {show::CreditsOverlay, 1280, 720}, {show::TheEndOverlay, 1280, 720},
        {show::StripesTexture, 256, 256}, {show::GlowTexture, 128, 128},
    };
    for (const Expected& e : pngs) {
        DecodedImage image = decodePng(data(e.name));
        EXPECT_EQ(image.width, e.width) << e.name;
        EXPECT_EQ(image.height, e.height) << e.name;
    }
    DecodedImage dialog = decodeBmp(data(show::DialogPicture));
    EXPECT_EQ(dialog.width, 180);
    EXPECT_EQ(dialog.height, 186);
}

TEST_F(GeneratedShow, OverlaysAreClearAroundSoftEdgedLettering)
{
    for (const char* name : {show::TitleOverlay, show::LogoOverlay, show::CreditsOverlay,
                             show::TheEndOverlay}) {
        DecodedImage image = decodePng(data(name));
        ASSERT_EQ(image.channels, 4) << name;
        size_t clear = 0;
        size_t solid = 0;
        size_t soft = 0;
        for (size_t i = 3; i < image.pixels.size(); i += 4) {
            uint8_t alpha = image.pixels[i];
            clear += alpha == 0;
            solid += alpha == 255;
            soft += alpha > 0 && alpha < 255;
        }
        size_t total = image.pixels.size() / 4;
        EXPECT_GT(clear, total / 2) << name << ": the scene should show through most of it";
        EXPECT_GT(solid, 0u) << name;
        EXPECT_GT(soft, solid / 4) << name << ": edges should fade, not cut";
        for (size_t corner : {size_t(0), size_t(image.width - 1),
                              size_t(image.width) * size_t(image.height - 1)}) {
            EXPECT_EQ(image.pixels[corner * 4 + 3], 0) << name;
        }
    }
}

TEST_F(GeneratedShow, LoadingPictureIsMostlyDarkWithBrightLettering)
{
    DecodedImage image = decodeJpeg(data(show::LoadingPicture));
    ASSERT_EQ(image.channels, 3);
    size_t dark = 0;
    size_t bright = 0;
    for (size_t i = 0; i < image.pixels.size(); i += 3) {
        int level = image.pixels[i] + image.pixels[i + 1] + image.pixels[i + 2];
        dark += level < 150;
        bright += level > 500;
    }
    size_t total = image.pixels.size() / 3;
    EXPECT_GT(dark, total * 6 / 10);
    EXPECT_GT(bright, total / 200);
}

TEST(DemoGenerator, FolderThatCannotBeCreatedIsAnErrorNamingIt)
{
    std::string dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    std::string blocker = dir + "/not-a-folder";
    std::FILE* f = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    RunResult result = runGenerator("'" + blocker + "/show'");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find(blocker), std::string::npos) << result.output;
    fs::remove_all(dir);
}

TEST(DemoGenerator, WithoutAFolderItPrintsUsage)
{
    RunResult result = runGenerator("");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.output.find("usage"), std::string::npos) << result.output;
}
