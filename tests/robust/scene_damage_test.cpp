// Scene files cut short or with a byte changed load, evaluate and stay within the memory
// bound, whatever the damage.
#include "damage.h"
#include "sample_scenes.h"
#include "support/scene_workout.h"

#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int copiesPerKind = 200;
constexpr uint32_t sweepSeed = 0x5EED2024;

// What a loaded scene came to: where the damage was found, how much was read, and the
// bits of everything a frame's evaluation saw (so that equal NaNs compare equal).
using Fingerprint = std::tuple<int64_t, int, int, uint32_t>;

Fingerprint fingerprint(Scene& scene)
{
    float sum = workOutScene(scene);
    uint32_t bits;
    std::memcpy(&bits, &sum, sizeof bits);
    return {scene.reader->failedOffset(), scene.children.size(), scene.materials.size(), bits};
}

// Loads every damaged copy of a scene file through loadFile and runs it through a frame's
// evaluation. A cut copy must report the damage at or before the cut. The same bytes read
// from memory must give the same scene: streaming the file through the reader's buffer
// changes nothing.
SweepFigures sweepSceneFile(const std::string& bytes)
{
    ScratchFile file("damaged.scn");
    return sweepDamage(bytes, copiesPerKind, sweepSeed, [&](const DamagedCopy& copy) {
        SCOPED_TRACE((copy.cut ? "cut at " : "byte changed at ") + std::to_string(copy.where));
        Fingerprint expected;
        {
            Scene fromMemory;
            fromMemory.loadMemory(copy.bytes.data(), copy.bytes.size());
            expected = fingerprint(fromMemory);
        }
        Scene scene;
        ASSERT_EQ(scene.loadFile(file.write(copy.bytes).c_str()), 0);
        if (copy.cut) {
            EXPECT_TRUE(scene.reader->failed());
            EXPECT_LE(scene.reader->failedOffset(), static_cast<int64_t>(copy.where));
        }
        EXPECT_EQ(fingerprint(scene), expected);
    });
}

struct SceneFile {
    std::string name;
    std::string bytes;
    bool sound; // whether the undamaged file reads without failure
};

class SceneDamage : public testing::TestWithParam<SceneFile> {};

TEST_P(SceneDamage, EveryDamagedCopyLoadsWithinTheMemoryBound)
{
    const std::string& bytes = GetParam().bytes;
    {
        Scene whole;
        whole.loadMemory(bytes.data(), bytes.size());
        ASSERT_EQ(whole.reader->failed(), !GetParam().sound);
    }
    SweepFigures figures = sweepSceneFile(bytes);
    EXPECT_EQ(figures.copies, 2 * copiesPerKind);
    EXPECT_LE(figures.largestRise, loadMemoryBound(bytes.size()));
    std::printf("[  figures ] scene %s: %zu bytes, %d damaged copies, largest heap rise %zu bytes\n",
                GetParam().name.c_str(), bytes.size(), figures.copies, figures.largestRise);
}

// The sample scene with a grid large enough that the file outgrows the reader's buffer,
// so cuts and changes also land beyond a refill; a tree nested past the reader's limit;
// then every scene of the bundled show.
std::vector<SceneFile> sweptScenes()
{
    std::vector<SceneFile> scenes = {{"sample", writeScene(sampleScene(60)), true},
                                     {"minimal", writeScene(minimalScene()), true},
                                     {"nested-too-deep", writeScene(nestedScene(maxNodeDepth + 4)), false}};
    for (const std::string& path : bundledShowFiles(".scn"))
        scenes.push_back({"show " + path.substr(path.rfind('/') + 1), readWholeFile(path), true});
    return scenes;
}

INSTANTIATE_TEST_SUITE_P(Files, SceneDamage, testing::ValuesIn(sweptScenes()),
                         [](const testing::TestParamInfo<SceneFile>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
