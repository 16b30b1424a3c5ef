// Large crafted inputs. The most heap a scene file or script can make loading hold, per byte
// of the file: at most 64 MiB plus 32 times a scene file, and 64 MiB plus 8 times a script;
// each case is the worst of its kind found, the smallest records that become the largest
// objects. And long lists (a million parts, three million siblings) load, each list made in
// one allocation.
#include "damage.h"
#include "desktop/desktop_platform.h"
#include "heap_meter.h"
#include "support/gl_test_context.h"
#include "support/node_records.h"

#include "common/data_file.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/shell_state.h"
#include "graph/camera_node.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr size_t fixedAllowance = size_t(64) << 20;
constexpr size_t sceneFactor = 32;
constexpr size_t scriptFactor = 8;
// Each crafted file is about this large, so that the fixed allowance does not hide its ratio.
constexpr size_t craftedBytes = size_t(8) << 20;

struct SceneCase {
    const char* name;
    // Appends records to a scene file until it holds about craftedBytes.
    std::function<void(RecordBytes&)> fill;
};

// The header, the given top-level node entries, the end of the level and no materials.
std::string sceneOf(const std::function<void(RecordBytes&)>& nodes)
{
    RecordBytes b;
    b.i32(0).i32(0);
    nodes(b);
    b.i32(-1);
    records::noMaterials(b);
    return std::string(b.bytes.begin(), b.bytes.end());
}

// Sibling nodes whose body `body` writes, up to craftedBytes.
std::function<void(RecordBytes&)> siblings(int32_t typeId, const std::function<void(RecordBytes&)>& body)
{
    return [=](RecordBytes& b) {
        while (b.size() < craftedBytes) {
            b.i32(typeId);
            body(b);
            b.i32(-1);
        }
    };
}

// One mesh whose body up to the groups is `geometry`, then groups, tracks and morph as
// `rest` writes them.
const SceneCase sceneCases[] = {
    // With a camera after them, so that linking sorts their names too.
    {"sibling targets and a camera", [](RecordBytes& b) {
         siblings(2, [](RecordBytes& target) { records::emptyTrack(target.str("")); })(b);
         b.i32(1);
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b.str(""))));
         records::visibility(b).i32(-1);
     }},
    {"sibling cameras", siblings(1, [](RecordBytes& b) {
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b.str(""))));
         records::visibility(b);
     })},
    {"sibling meshes", siblings(0, [](RecordBytes& b) {
         b.str("").i32(0).i32(0).i32(0);
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b)));
         records::emptyTrack(records::visibility(b));
     })},
    {"sibling lights", siblings(4, [](RecordBytes& b) {
         b.str("").f32(1).f32(1).f32(1);
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b)));
         records::visibility(b);
     })},
    {"visibility keys", [](RecordBytes& b) {
         b.i32(5).str("");
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b)));
         for (int32_t frame = 0; b.size() < craftedBytes; ++frame)
             b.i32(frame);
         records::visibility(b).i32(-1);
     }},
    {"field-of-view keys", [](RecordBytes& b) {
         b.i32(1).str("");
         records::emptyTrack(records::emptyTrack(b));
         const int32_t keys = static_cast<int32_t>(craftedBytes / 28);
         b.i32(1).i32(keys);
         for (int32_t k = 0; k < keys; ++k)
             b.keyHeader(k).f32(1);
         records::visibility(b).i32(-1);
     }},
    {"morph keys without positions", [](RecordBytes& b) {
         b.i32(0).str("").i32(0).i32(0).i32(0);
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b)));
         records::visibility(b);
         const int32_t keys = static_cast<int32_t>(craftedBytes / 28);
         b.i32(1).i32(keys);
         for (int32_t k = 0; k < keys; ++k)
             b.keyHeader(k).i32(0);
         b.i32(-1);
     }},
    {"empty groups", [](RecordBytes& b) {
         b.i32(0).str("").i32(0).i32(0);
         const int32_t groups = static_cast<int32_t>(craftedBytes / 8);
         b.i32(groups);
         for (int32_t g = 0; g < groups; ++g)
             b.i32(0).i32(0);
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b)));
         records::emptyTrack(records::visibility(b)).i32(-1);
     }},
    {"one face named by every group index", [](RecordBytes& b) {
         b.i32(0).str("").i32(3).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(1).f32(0);
         b.i32(1).i32(0).f32(0).f32(0).i32(1).f32(0).f32(0).i32(2).f32(0).f32(0);
         const int32_t indices = static_cast<int32_t>(craftedBytes / 4);
         b.i32(1).i32(0).i32(indices);
         for (int32_t i = 0; i < indices; ++i)
             b.i32(0);
         records::emptyTrack(records::emptyTrack(records::emptyTrack(b)));
         records::emptyTrack(records::visibility(b)).i32(-1);
     }},
};

// A scene file of the smallest material records.
std::string materialScene()
{
    RecordBytes b;
    b.i32(0).i32(0).i32(-1).i32(0);
    const int32_t count = static_cast<int32_t>(craftedBytes / 56);
    b.i32(count);
    for (int32_t m = 0; m < count; ++m) {
        b.str("");
        for (int slot = 0; slot < 11; ++slot)
            b.f32(0).str("");
    }
    return std::string(b.bytes.begin(), b.bytes.end());
}

// Loads a scene file as the show does and returns the heap rise per byte of the file.
double sceneRatio(const std::string& bytes, const char* name)
{
    ScratchFile file("amplification.scn");
    file.write(bytes);
    HeapMeter meter;
    {
        Scene scene;
        EXPECT_EQ(scene.loadFile(file.path().c_str()), 0);
        EXPECT_FALSE(scene.reader->failed()) << name;
    }
    const size_t rise = meter.rise();
    EXPECT_LE(rise, fixedAllowance + sceneFactor * bytes.size()) << name;
    const double ratio = static_cast<double>(rise) / static_cast<double>(bytes.size());
    std::printf("[  figures ] scene, %s: %zu bytes, heap rise %zu (%.1f x)\n", name, bytes.size(), rise, ratio);
    return ratio;
}

TEST(LoadAmplification, CraftedSceneFilesStayWithin32TimesTheirSize)
{
    double largest = 0;
    for (const SceneCase& c : sceneCases)
        largest = std::max(largest, sceneRatio(sceneOf(c.fill), c.name));
    largest = std::max(largest, sceneRatio(materialScene(), "materials"));
    std::printf("[  figures ] scene files: largest heap rise %.1f x the file\n", largest);
}

// A demo folder of the test's own, the current folder while the test runs.
class ScriptFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("taldrex-amplification-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
        previous = fs::current_path();
        fs::current_path(dir);
        clearShow();
    }
    void TearDown() override
    {
        clearShow();
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    void clearShow()
    {
        show = std::make_unique<Show>();
        NoSound = 1;
    }
    // Writes script as script.txt, loads it as the show does and returns the heap rise per
    // byte of it.
    double scriptRatio(const std::string& script, const char* name)
    {
        std::ofstream(dir / "script.txt", std::ios::binary) << script;
        clearShow();
        HeapMeter meter;
        SoundStream* stream = nullptr;
        EXPECT_TRUE(show->LoadScript(Desktop(), stream));
        const size_t rise = meter.rise();
        EXPECT_LE(rise, fixedAllowance + scriptFactor * script.size()) << name;
        const double ratio = static_cast<double>(rise) / static_cast<double>(script.size());
        std::printf("[  figures ] script, %s: %zu bytes, %d parts, heap rise %zu (%.1f x)\n", name, script.size(),
                    show->Timeline.size(), rise, ratio);
        clearShow();
        return ratio;
    }

    fs::path dir, previous;
    std::unique_ptr<Show> show;
};

TEST_F(ScriptFolder, CraftedScriptsStayWithin8TimesTheirSize)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    std::string parts;
    while (parts.size() < craftedBytes)
        parts += "[part]\n\n\n\n\n\n";
    std::string named;
    const std::string name(15, 'n');
    while (named.size() < craftedBytes)
        named += "[part]\n" + name + "\n1\n" + name + "\n" + name + "\n" + name + "\n";
    // Each missing scene is looked for on disk, which takes a while: a smaller script.
    std::string scenes = "[scenes]\n";
    for (int i = 0; scenes.size() < craftedBytes / 8; ++i)
        scenes += std::to_string(i) + "\n";

    double largest = std::max({scriptRatio(parts, "empty parts"), scriptRatio(named, "parts of 15-byte names"),
                               scriptRatio(scenes, "missing scenes")});
    std::printf("[  figures ] scripts: largest heap rise %.1f x the script\n", largest);
}

TEST_F(ScriptFolder, AMillionPartsFillTheTimelineInOneAllocation)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    // Parts of 15 bytes, so that a million fit in a script of the largest size read.
    constexpr int parts = 1000000;
    std::string script;
    for (int i = 1; i <= parts; ++i)
        script += "[part]\ns\n" + std::to_string(i % 10) + "\nc\n\n\n";
    ASSERT_LE(script.size(), static_cast<size_t>(ScriptFileLimit));
    std::ofstream(dir / "script.txt", std::ios::binary) << script;
    SoundStream* stream = nullptr;
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));
    ASSERT_EQ(show->Timeline.size(), parts);
    EXPECT_EQ(show->Timeline.capacity(), parts);
    EXPECT_EQ(show->Timeline[parts - 1].endTime, 0);
    EXPECT_EQ(show->Timeline[parts - 2].endTime, 9);
    EXPECT_EQ(show->Timeline[parts - 1].cameraName, "c");
}

TEST(LongLists, ThreeMillionSiblingsLoadIntoOneChildArray)
{
    constexpr int siblings = 3000000;
    RecordBytes b;
    b.i32(0).i32(0);
    for (int i = 0; i < siblings; ++i) {
        b.i32(2);
        records::targetBody(b, i % 2 ? "odd" : "even").i32(-1);
    }
    b.i32(1);
    records::cameraBody(b, "odd").i32(-1).i32(-1);
    records::noMaterials(b);
    ScratchFile file("siblings.scn");
    file.write(std::string(b.bytes.begin(), b.bytes.end()));
    b.bytes = std::vector<unsigned char>();

    Scene scene;
    ASSERT_EQ(scene.loadFile(file.path().c_str()), 0);
    ASSERT_FALSE(scene.reader->failed());
    ASSERT_EQ(scene.children.size(), siblings + 1);
    EXPECT_EQ(scene.children.capacity(), siblings + 1);
    ASSERT_NE(scene.camera, nullptr);
    EXPECT_EQ(scene.camera->target, scene.children[siblings - 1].get());
}

} // namespace
