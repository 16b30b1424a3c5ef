// Every input that ever made a reader fail under the fuzzers is loaded again, through the
// same entry point, by the suite: tests/fixtures/regressions/<reader>/<input>.
#include "support/scene_workout.h"

#include "audio/mp3_decoder.h"
#include "demo/script_parser.h"
#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Input {
    std::string reader; // the folder: scene, script, png, jpeg or mp3
    std::string path;
};

std::vector<Input> keptInputs()
{
    std::vector<Input> inputs;
    const std::string root = std::string(TALDREX_FIXTURES) + "/regressions";
    for (const char* reader : {"scene", "script", "png", "jpeg", "mp3"}) {
        DIR* folder = opendir((root + "/" + reader).c_str());
        if (!folder)
            continue;
        while (dirent* entry = readdir(folder))
            if (entry->d_name[0] != '.')
                inputs.push_back({reader, root + "/" + reader + "/" + entry->d_name});
        closedir(folder);
    }
    std::sort(inputs.begin(), inputs.end(), [](const Input& a, const Input& b) { return a.path < b.path; });
    return inputs;
}

class RegressionInput : public testing::TestWithParam<Input> {};

TEST_P(RegressionInput, LoadsWithoutFault)
{
    const Input& input = GetParam();
    if (input.reader == "scene") {
        Scene scene;
        ASSERT_EQ(scene.loadFile(input.path.c_str()), 0);
        workOutScene(scene);
    } else if (input.reader == "script") {
        std::ifstream file(input.path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        const ShowPlan plan = ParseScript(text.str());
        EXPECT_EQ(plan.partLines.size(), static_cast<size_t>(plan.parts.size()));
    } else if (input.reader == "png") {
        DecodedImage image = DecodePng(input.path);
        EXPECT_TRUE(image.empty() || image.pixels.size() == size_t(image.width) * image.height * 4);
    } else if (input.reader == "jpeg") {
        DecodedImage image = DecodeJpeg(input.path);
        EXPECT_TRUE(image.empty() || image.pixels.size() == size_t(image.width) * image.height * 3);
    } else {
        DecodedAudio audio;
        EXPECT_EQ(DecodeMp3File(input.path.c_str(), audio), !audio.samples.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Kept, RegressionInput, testing::ValuesIn(keptInputs()),
                         [](const testing::TestParamInfo<Input>& info) {
                             std::string name = info.param.path.substr(info.param.path.rfind('/') + 1);
                             name = info.param.reader + "_" + name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
// Until something is kept there is nothing to load.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RegressionInput);

} // namespace
