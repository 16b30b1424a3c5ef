// taldrex-scene import --watch: the files a model names, the line each import prints, and a
// watch that follows a model and its buffer through saves, one of them caught half-way.
#include "gltf_files.h"
#include "import_watch.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Waits up to 20 s for the log to hold what at least n times; false when it never does.
bool waitFor(const std::string& log, const std::string& what, size_t n)
{
    for (int i = 0; i < 2000; ++i) {
        if (count(readText(log), what) >= n)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Saved as a modelling tool does: written to another name and renamed over the file.
void saveByRename(const std::string& path, const std::string& bytes)
{
    std::ofstream(path + ".saving", std::ios::binary) << bytes;
    fs::rename(path + ".saving", path);
}

// A triangle whose first corner is at x, with its buffer in tri.bin.
GltfText triangleAt(float x)
{
    GltfText g;
    g.floats({x, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    g.indices({0, 1, 2});
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
    g.nodes.push_back("{\"name\":\"tri\",\"mesh\":0}");
    g.bufferUri = "tri.bin";
    return g;
}

int importInto(const std::string& model, const std::string& demo, std::FILE* out, std::FILE* err)
{
    return runImport(model, demo, ImportOptions(), false, out, err);
}

} // namespace

TEST(ImportWatch, TheFilesAModelNamesAreItsUrisBesideItOtherThanDataUris)
{
    const std::string json = R"({"buffers":[{"uri":"data:application/octet-stream;base64,AAAA"},{"uri" : "parts/a%20b.bin"}],)"
                             R"("images":[{"uri":"tex\/wood.png"},{"uri":"/abs/sky.jpg"},{"uri":""}],"extras":{"note":"uri"}})";
    EXPECT_EQ(ReferencedFiles("models/box.gltf", json),
        (std::vector<std::string>{"models/parts/a b.bin", "models/tex/wood.png", "/abs/sky.jpg"}));
    EXPECT_EQ(ReferencedFiles("box.gltf", R"({"buffers":[{"uri":"box.bin"}]})"), std::vector<std::string>{"./box.bin"});
    // Cut short: what was read whole is kept, the rest left out.
    EXPECT_EQ(ReferencedFiles("m/box.gltf", R"({"buffers":[{"uri":"box.bin"}],"images":[{"uri":"wo)"),
        std::vector<std::string>{"m/box.bin"});
    EXPECT_TRUE(ReferencedFiles("box.glb", "\x01\x02 not json").empty());
}

TEST(ImportWatch, EachImportIsOneLineSayingWhatCameOrWhyNotAndWhatStays)
{
    const std::string summary = "imported box.gltf into demo/data/box.scn\n"
                                "  nodes 1, meshes 1, triangles 1, materials 0, textures 0, cameras 0, lights 0\n"
                                "  tracks 0, keys 0, animation 1 frame (0.00 s)\n"
                                "warning: box.gltf: one\nwarning: box.gltf: two\n  wrote demo/data/box.scn (90 bytes)\n";
    const std::string refused = "taldrex-scene: box.gltf: not a readable glTF 2.0 file: cut short; nothing written\n";
    struct Case {
        int status;
        std::string out, err;
        bool anyGood;
        std::string line;
    } cases[] = {
        {0, summary, "", false,
         "12:00:00 imported box.gltf into demo/data/box.scn (nodes 1, meshes 1, triangles 1, materials 0, textures 0, "
         "cameras 0, lights 0); 2 warnings"},
        {0, "imported box.gltf into demo/data/box.scn\n", "", true, "12:00:00 imported box.gltf into demo/data/box.scn"},
        {1, "", refused, true,
         "12:00:00 not imported: box.gltf: not a readable glTF 2.0 file: cut short; kept the last good import"},
        {1, "", refused, false,
         "12:00:00 not imported: box.gltf: not a readable glTF 2.0 file: cut short; nothing imported yet, waiting for "
         "the next save"},
        {1, "", "", true, "12:00:00 not imported: the import failed; kept the last good import"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WatchLine("12:00:00", c.status, c.out, c.err, c.anyGood), c.line);
}

TEST(ImportWatch, ThreeSavesGiveThreeImportsAndAHalfWrittenOneKeepsTheLastGood)
{
    std::string pattern = (fs::temp_directory_path() / "import-watch-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string dir = pattern;
    const std::string model = dir + "/tri.gltf", demo = dir + "/demo", log = dir + "/watch.log";
    const GltfText first = triangleAt(0), second = triangleAt(-1), third = triangleAt(-2);
    std::ofstream(dir + "/tri.bin", std::ios::binary) << first.bin_;
    std::ofstream(model, std::ios::binary) << first.text();

    std::atomic<bool> stop{false};
    int status = -1;
    std::FILE* logFile = std::fopen(log.c_str(), "w");
    ASSERT_NE(logFile, nullptr);
    WatchSettings settings;
    settings.model = model;
    settings.stop = &stop;
    std::thread watch([&] {
        status = RunImportWatch(settings,
            [&](std::FILE* out, std::FILE* err) { return importInto(model, demo, out, err); }, logFile);
    });
    ASSERT_TRUE(waitFor(log, "and 1 file it names", 1)) << readText(log);

    // Save 1: the whole model written in place, its buffer with it.
    std::ofstream(dir + "/tri.bin", std::ios::binary) << second.bin_;
    std::ofstream(model, std::ios::binary) << second.text();
    EXPECT_TRUE(waitFor(log, " imported ", 2)) << readText(log);
    // Save 2: the model caught half-written, then finished.
    const std::string text = second.text();
    {
        std::ofstream half(model, std::ios::binary);
        half << text.substr(0, text.size() / 2);
    }
    EXPECT_TRUE(waitFor(log, "kept the last good import", 1)) << readText(log);
    std::ofstream(model, std::ios::binary) << text;
    EXPECT_TRUE(waitFor(log, " imported ", 3)) << readText(log);
    // Save 3: only the buffer, renamed over the old one.
    saveByRename(dir + "/tri.bin", third.bin_);
    EXPECT_TRUE(waitFor(log, " imported ", 4)) << readText(log);

    stop = true;
    watch.join();
    std::fclose(logFile);
    EXPECT_EQ(status, 0);
    const std::string lines = readText(log);
    EXPECT_EQ(count(lines, " imported "), 4u) << lines; // the first import and three saves
    EXPECT_EQ(count(lines, "kept the last good import"), 1u) << lines;
    EXPECT_EQ(count(lines, "\n"), 6u) << lines; // and the line saying what is watched

    // What the demo folder holds is what importing the last save writes.
    std::FILE* quiet = std::tmpfile();
    ASSERT_EQ(importInto(model, dir + "/again", quiet, quiet), 0);
    std::fclose(quiet);
    EXPECT_EQ(readText(demo + "/data/tri.scn"), readText(dir + "/again/data/tri.scn"));
    EXPECT_NE(readText(demo + "/data/tri.scn"), "");
    EXPECT_FALSE(fs::exists(demo + "/data/tri.scn.importing"));
    fs::remove_all(dir);
}
