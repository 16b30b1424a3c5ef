#include "desktop/desktop_platform.h"
#include "player/live_reload.h"

#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/shell_state.h"
#include "desktop/sound.h"
#include "gpu/viewport.h"
#include "render/render_mode.h"
#include "scene_writer.h"
#include "support/allocation_counter.h"
#include "support/gl_test_context.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int Width = 64;
constexpr int Height = 36;

// A 6 x 6 square facing the camera "eye" from 10 units away, textured by textureName.
SceneSpec squareScene(const std::string& textureName)
{
    SceneSpec scene;
    NodeSpec mesh = makeNode(NodeType::Mesh, "square");
    mesh.vertices = {{-3, 0, -3}, {3, 0, -3}, {3, 0, 3}, {-3, 0, 3}};
    auto face = [](int a, int b, int c) {
        FaceSpec f;
        f.corners[0] = {a, 0, 0};
        f.corners[1] = {b, 1, 0};
        f.corners[2] = {c, 1, 1};
        return f;
    };
    mesh.faces = {face(0, 1, 2), face(0, 2, 3), face(2, 1, 0), face(3, 2, 0)};
    mesh.groups = {{0, {0, 1, 2, 3}}};
    scene.nodes.push_back(mesh);
    scene.nodes.push_back(makeNode(NodeType::Camera, "eye", Vector3(0, -10, 0)));
    scene.nodes.push_back(makeNode(NodeType::Target, "eye"));
    MaterialSpec material;
    material.name = "paint";
    material.maps[1] = {1.0f, textureName};
    scene.materials.push_back(material);
    return scene;
}

// A demo folder of the test's own, opened as the player opens it (the test stays where it
// stands), with a show loaded from it and a context to draw it in.
class LiveReloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("taldrex-reload-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
        std::string problem;
        ASSERT_TRUE(folder.open(dir.string(), true, problem)) << problem;
        show = std::make_unique<Show>(folder);
        NoSound = 1;
    }
    void TearDown() override
    {
        SoundClose();
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        unsetenv("SDL_DISKAUDIOFILE");
        show.reset();
        fs::remove_all(dir);
        NoSound = 0;
    }

    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
    }
    // A 4 x 4 picture of one colour.
    void picture(const std::string& name, uint8_t r, uint8_t g, uint8_t b)
    {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = 4;
        image.height = 4;
        image.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 16; ++i)
            pixels.insert(pixels.end(), {r, g, b});
        ASSERT_TRUE(png_image_write_to_file(&image, (dir / name).c_str(), 0, pixels.data(), 0, nullptr));
    }
    std::string fileBytes(const std::string& name)
    {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Writes the show (green and red pictures, the square scene textured green, one part)
    // and loads it as the player does.
    void loadShow()
    {
        picture("data/green.png", 0, 255, 0);
        picture("data/red.png", 255, 0, 0);
        write("data/square.scn", writeScene(squareScene("green.png")));
        write("script.txt", "[textures]\ngreen.png\nred.png\n\n[scenes]\nsquare.scn\n\n"
                            "[part]\nsquare.scn\n60000\neye\nstandard\nstandard\n");
        SoundStream* none = nullptr;
        ASSERT_TRUE(show->LoadScript(Desktop(), none));
        ASSERT_EQ(show->Timeline.size(), 1);
    }

    // The colour in the middle of a frame of the first part, as 0xRRGGBB.
    uint32_t middle()
    {
        SetViewport(Width, Height);
        show->DrawPart(show->Timeline[0], 0.0f, Width, Height);
        return gl.pixel(Width / 2, Height / 2) >> 8;
    }

    // Polls until done() holds or three seconds pass; true when any poll reloaded something.
    bool pollUntil(const std::function<bool()>& done)
    {
        bool reloaded = false;
        const auto limit = std::chrono::steady_clock::now() + 3s;
        while (std::chrono::steady_clock::now() < limit) {
            reloaded = reload.poll(stream) || reloaded;
            if (done())
                break;
            std::this_thread::sleep_for(10ms);
        }
        return reloaded;
    }
    bool pollFor(std::chrono::milliseconds time)
    {
        bool reloaded = false;
        const auto limit = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < limit) {
            reloaded = reload.poll(stream) || reloaded;
            std::this_thread::sleep_for(10ms);
        }
        return reloaded;
    }

    fs::path dir;
    DataFolder folder;
    std::unique_ptr<Show> show;
    GlTestContext gl{Width, Height};
    LiveReload reload;
    SoundStream* stream = nullptr;
};

const Scene* registeredScene(const Show& show, const std::string& name)
{
    const std::unique_ptr<Scene>* scene = show.SceneRegistry.find(name);
    return scene ? scene->get() : nullptr;
}

} // namespace

TEST_F(LiveReloadTest, AChangedSceneIsLoadedAloneAndACutShortOneKeepsTheOldUntilItIsWhole)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    loadShow();
    ASSERT_TRUE(reload.start(*show));
    EXPECT_EQ(middle(), 0x00ff00u);
    EXPECT_FALSE(pollFor(300ms)) << "nothing changed";
    const long allocations = AllocationCount();
    for (int frame = 0; frame < 100; ++frame)
        reload.poll(stream);
    EXPECT_EQ(AllocationCount(), allocations) << "a frame with nothing changed allocated";
    const GLuint green = show->TextureRegistry.find("green.png")->get();

    // The scene now takes the red picture: only the scene is loaded again.
    const std::string red = writeScene(squareScene("red.png"));
    write("data/square.scn", red);
    const Scene* before = registeredScene(*show, "square.scn");
    ASSERT_TRUE(pollUntil([&] { return registeredScene(*show, "square.scn") != before; }));
    EXPECT_EQ(middle(), 0xff0000u);
    EXPECT_EQ(show->TextureRegistry.find("green.png")->get(), green);
    EXPECT_TRUE(reload.problems().empty());
    // The camera the part names is the one it views through.
    ASSERT_NE(registeredScene(*show, "square.scn")->camera, nullptr);

    // Cut short while being written: the red scene stays and the problem names the file.
    const std::string green2 = writeScene(squareScene("green.png"));
    write("data/square.scn", green2.substr(0, 40));
    before = registeredScene(*show, "square.scn");
    EXPECT_TRUE(pollUntil([&] { return !reload.problems().empty(); })) << "a new problem is news";
    ASSERT_EQ(reload.problems().size(), 1u);
    EXPECT_NE(reload.problems()[0].find("data/square.scn"), std::string::npos) << reload.problems()[0];
    EXPECT_NE(reload.problems()[0].find("cut short"), std::string::npos) << reload.problems()[0];
    EXPECT_EQ(registeredScene(*show, "square.scn"), before);
    EXPECT_EQ(middle(), 0xff0000u);
    // The same damage saved again is no news.
    write("data/square.scn", green2.substr(0, 40));
    EXPECT_FALSE(pollFor(400ms));
    EXPECT_EQ(reload.problems().size(), 1u);

    // Whole a moment later: the new version shows and the problem is gone.
    write("data/square.scn", green2);
    ASSERT_TRUE(pollUntil([&] { return registeredScene(*show, "square.scn") != before; }));
    EXPECT_EQ(middle(), 0x00ff00u);
    EXPECT_TRUE(reload.problems().empty());

    // Gone altogether (an editor's rename may leave it missing for a moment): kept as well.
    fs::remove(dir / "data/square.scn");
    before = registeredScene(*show, "square.scn");
    pollUntil([&] { return !reload.problems().empty(); });
    ASSERT_EQ(reload.problems().size(), 1u);
    EXPECT_NE(reload.problems()[0].find("does not exist"), std::string::npos) << reload.problems()[0];
    EXPECT_EQ(registeredScene(*show, "square.scn"), before);
}

TEST_F(LiveReloadTest, AChangedPictureIsUploadedIntoTheSameTexture)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    loadShow();
    ASSERT_TRUE(reload.start(*show));
    const GLuint green = show->TextureRegistry.find("green.png")->get();
    const Scene* scene = registeredScene(*show, "square.scn");

    // The scene's material keeps the id, and draws the new picture through it.
    picture("data/green.png", 0, 0, 255);
    ASSERT_TRUE(pollUntil([&] { return middle() == 0x0000ffu; }));
    EXPECT_EQ(show->TextureRegistry.find("green.png")->get(), green);
    EXPECT_EQ(registeredScene(*show, "square.scn"), scene);
    EXPECT_TRUE(reload.problems().empty());

    // A picture cut short keeps the last one that decoded.
    const std::string whole = fileBytes("data/green.png");
    write("data/green.png", whole.substr(0, whole.size() / 2));
    EXPECT_TRUE(pollUntil([&] { return !reload.problems().empty(); })) << "a new problem is news";
    ASSERT_EQ(reload.problems().size(), 1u);
    EXPECT_NE(reload.problems()[0].find("data/green.png"), std::string::npos) << reload.problems()[0];
    EXPECT_EQ(middle(), 0x0000ffu);
    write("data/green.png", whole);
    ASSERT_TRUE(pollUntil([&] { return reload.problems().empty(); }));
    EXPECT_EQ(show->TextureRegistry.find("green.png")->get(), green);
}

TEST_F(LiveReloadTest, AChangedScriptRebuildsTheShowKeepingTextureIds)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    loadShow();
    ASSERT_TRUE(reload.start(*show));
    const GLuint green = show->TextureRegistry.find("green.png")->get();
    const GLuint red = show->TextureRegistry.find("red.png")->get();

    // Two parts now, red.png no longer listed, and a second scene that reads the red picture
    // before it was listed (so it finds none) and the green one after.
    write("data/late.scn", writeScene(squareScene("green.png")));
    write("data/early.scn", writeScene(squareScene("green.png")));
    write("script.txt", "[scenes]\nearly.scn\n\n[textures]\ngreen.png\n\n[scenes]\nsquare.scn\nlate.scn\n\n"
                        "[part]\nsquare.scn\n1000\neye\nstandard\nstandard\n"
                        "[part]\nlate.scn\n2000\neye\ngreen.png\nstandard\n");
    ASSERT_TRUE(pollUntil([&] { return show->Timeline.size() == 2; }));
    EXPECT_EQ(show->Timeline[0].endTime, 1000);
    EXPECT_EQ(show->Timeline[1].sceneName, "late.scn");
    EXPECT_EQ(show->Timeline[1].backgroundName, "green.png");
    EXPECT_EQ(show->TextureRegistry.find("green.png")->get(), green);
    EXPECT_EQ(show->TextureRegistry.find("red.png"), nullptr);
    EXPECT_FALSE(glIsTexture(red));
    ASSERT_NE(registeredScene(*show, "late.scn"), nullptr);
    ASSERT_EQ(registeredScene(*show, "late.scn")->renderModes.size(), 1);
    EXPECT_EQ(GLuint(registeredScene(*show, "late.scn")->renderModes[0]->textures[0]), green);
    EXPECT_EQ(middle(), 0x00ff00u);

    // A scene loaded again alone still finds only the textures listed before it.
    ASSERT_EQ(registeredScene(*show, "early.scn")->renderModes.size(), 1);
    EXPECT_EQ(registeredScene(*show, "early.scn")->renderModes[0]->textures[0], 0);
    write("data/early.scn", writeScene(squareScene("green.png")));
    const Scene* early = registeredScene(*show, "early.scn");
    ASSERT_TRUE(pollUntil([&] { return registeredScene(*show, "early.scn") != early; }));
    EXPECT_EQ(registeredScene(*show, "early.scn")->renderModes[0]->textures[0], 0);

    // A scene the new script names but whose file is cut short: the one loaded before stays.
    const Scene* square = registeredScene(*show, "square.scn");
    write("data/square.scn", writeScene(squareScene("red.png")).substr(0, 30));
    pollUntil([&] { return !reload.problems().empty(); });
    std::string script = fileBytes("script.txt");
    script.replace(script.find("1000"), 4, "1500");
    write("script.txt", script);
    ASSERT_TRUE(pollUntil([&] { return show->Timeline[0].endTime == 1500; }));
    EXPECT_EQ(registeredScene(*show, "square.scn"), square);
    ASSERT_EQ(reload.problems().size(), 1u);
    EXPECT_NE(reload.problems()[0].find("square.scn"), std::string::npos) << reload.problems()[0];
}

TEST_F(LiveReloadTest, AChangedScriptLoadsOnlyWhatDiffersFromThePlanBefore)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    loadShow();
    // Changed before the watch starts, so only a load that does not need it would read it.
    picture("data/green.png", 255, 0, 0);
    ASSERT_TRUE(reload.start(*show));
    const Scene* square = registeredScene(*show, "square.scn");

    // Only the part's end moves: the scene and the picture stay as they were loaded.
    std::string script = fileBytes("script.txt");
    script.replace(script.find("60000"), 5, "50000");
    write("script.txt", script);
    ASSERT_TRUE(pollUntil([&] { return show->Timeline[0].endTime == 50000; }));
    EXPECT_EQ(registeredScene(*show, "square.scn"), square);
    EXPECT_EQ(middle(), 0x00ff00u);

    // The script and the picture saved in one round: the picture is loaded again.
    script.replace(script.find("50000"), 5, "40000");
    write("script.txt", script);
    picture("data/green.png", 0, 0, 255);
    ASSERT_TRUE(pollUntil([&] { return show->Timeline[0].endTime == 40000 && middle() == 0x0000ffu; }));
    EXPECT_EQ(registeredScene(*show, "square.scn"), square);

    // A listing that changes what the scene finds before it loads the scene again.
    write("script.txt", "[textures]\nred.png\n\n[scenes]\nsquare.scn\n\n[textures]\ngreen.png\n\n"
                        "[part]\nsquare.scn\n40000\neye\nstandard\nstandard\n");
    ASSERT_TRUE(pollUntil([&] { return registeredScene(*show, "square.scn") != square; }));
    EXPECT_EQ(middle(), 0xffffffu) << "the square's picture is listed after it";
    EXPECT_TRUE(reload.problems().empty());
}

TEST_F(LiveReloadTest, FilesTheScriptNamesThatAppearLaterAreLoaded)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    write("script.txt", "[textures]\nlate.png\n\n[scenes]\nlate.scn\n\n"
                        "[part]\nlate.scn\n60000\neye\nstandard\nstandard\n");
    SoundStream* none = nullptr;
    ASSERT_TRUE(show->LoadScript(Desktop(), none));
    ASSERT_TRUE(reload.start(*show));
    ASSERT_NE(show->TextureRegistry.find("late.png"), nullptr);
    const GLuint late = show->TextureRegistry.find("late.png")->get();
    EXPECT_EQ(registeredScene(*show, "late.scn"), nullptr);
    EXPECT_EQ(middle(), 0x000000u);

    // Written in another letter case, as the script's names are found in any.
    picture("data/Late.PNG", 255, 0, 0);
    write("data/LATE.scn", writeScene(squareScene("late.png")));
    ASSERT_TRUE(pollUntil([&] { return registeredScene(*show, "late.scn") && middle() == 0xff0000u; }));
    EXPECT_EQ(show->TextureRegistry.find("late.png")->get(), late);
    EXPECT_TRUE(reload.problems().empty());
}

TEST_F(LiveReloadTest, AScriptThatCannotBeReadKeepsTheShow)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    loadShow();
    ASSERT_TRUE(reload.start(*show));
    fs::remove(dir / "script.txt");
    EXPECT_TRUE(pollUntil([&] { return !reload.problems().empty(); })) << "a new problem is news";
    ASSERT_EQ(reload.problems().size(), 1u);
    EXPECT_NE(reload.problems()[0].find("script.txt"), std::string::npos) << reload.problems()[0];
    EXPECT_EQ(show->Timeline.size(), 1);
    EXPECT_EQ(middle(), 0x00ff00u);
}

TEST_F(LiveReloadTest, AChangedSoundtrackIsReopenedAtTheSamePosition)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    const fs::path mp3s = fs::path(TALDREX_SHARED_TESTDATA) / "mp3";
    if (!fs::exists(mp3s / "l3-sin1k0db.bit"))
        GTEST_SKIP() << "the shared MP3 files are missing";
    // SDL's disk driver plays in real time into a file.
    const std::string played = (dir / "played.raw").string();
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "disk");
    setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
    NoSound = 0;
    ASSERT_TRUE(SoundInit(44100, 32));
    fs::copy_file(mp3s / "l3-sin1k0db.bit", dir / "data/music.mp3");
    write("script.txt", "[mp3]\nmusic.mp3\n\n[part]\nnothing\n60000\neye\nstandard\nstandard\n");
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(reload.start(*show));
    ASSERT_TRUE(SoundStreamPlay(stream));
    std::this_thread::sleep_for(700ms);

    // Saved again (renamed over, as editors do): a new stream, at the old one's position.
    SoundStream* old = stream;
    fs::copy_file(mp3s / "l3-test45.bit", dir / "data/music.new");
    fs::rename(dir / "data/music.new", dir / "data/music.mp3");
    const int before = SoundStreamGetTime(old);
    ASSERT_TRUE(pollUntil([&] { return stream != old; })) << ::testing::PrintToString(reload.problems());
    EXPECT_GE(SoundStreamGetTime(stream), before);
    EXPECT_LE(SoundStreamGetTime(stream), before + 400);
    EXPECT_TRUE(reload.problems().empty());
    // Left to the caller to start, which holds it while the show is paused.
    const int held = SoundStreamGetTime(stream);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(SoundStreamGetTime(stream), held);
    EXPECT_TRUE(SoundStreamPlay(stream));

    // Cut short: the music playing now goes on.
    old = stream;
    fs::copy_file(mp3s / "l3-compl-cut.mp3", dir / "data/music.new");
    fs::rename(dir / "data/music.new", dir / "data/music.mp3");
    EXPECT_TRUE(pollUntil([&] { return !reload.problems().empty(); })) << "a new problem is news";
    EXPECT_EQ(stream, old);
    ASSERT_EQ(reload.problems().size(), 1u);
    EXPECT_NE(reload.problems()[0].find("music.mp3"), std::string::npos) << reload.problems()[0];
}

TEST(LiveReload, AFolderThatIsNotThereCannotBeWatched)
{
    const fs::path gone = fs::temp_directory_path() / ("taldrex-gone-" + std::to_string(::getpid()));
    fs::create_directories(gone);
    DataFolder folder;
    std::string problem;
    ASSERT_TRUE(folder.open(gone.string(), true, problem)) << problem;
    fs::remove_all(gone);
    Show show(folder);
    LiveReload reload;
    EXPECT_FALSE(reload.start(show));
}

// A show read from an archive is reloaded whole when the archive file changes, and plays
// on as it was while the archive cannot be read.
TEST_F(LiveReloadTest, AChangedArchiveIsReopenedAndTheShowLoadedAgain)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    picture("data/green.png", 0, 255, 0);
    picture("data/red.png", 255, 0, 0);
    const std::string script = "[textures]\ngreen.png\nred.png\n\n[scenes]\nsquare.scn\n\n"
                               "[part]\nsquare.scn\n60000\neye\nstandard\nstandard\n";
    auto pack = [&](const std::string& texture) {
        const std::string bytes = ZipBytes({StoredZipEntry("Show/script.txt", script),
            StoredZipEntry("Show/data/green.png", fileBytes("data/green.png")),
            StoredZipEntry("Show/data/red.png", fileBytes("data/red.png")),
            StoredZipEntry("Show/data/square.scn", writeScene(squareScene(texture)))});
        // Replaced whole, as an archiver does.
        write("show.zip.part", bytes);
        fs::rename(dir / "show.zip.part", dir / "show.zip");
    };
    pack("green.png");
    DataFolder archive;
    std::string problem;
    ASSERT_TRUE(archive.open((dir / "show.zip").string(), true, problem)) << problem;
    show = std::make_unique<Show>(archive);
    SoundStream* none = nullptr;
    ASSERT_TRUE(show->LoadScript(Desktop(), none));
    ASSERT_TRUE(reload.start(*show));
    EXPECT_EQ(middle(), 0x00ff00u);

    pack("red.png");
    ASSERT_TRUE(pollUntil([&] { return middle() == 0xff0000u; }));

    write("show.zip", "no longer a zip");
    EXPECT_TRUE(pollUntil([&] { return !reload.problems().empty(); }));
    ASSERT_EQ(reload.problems().size(), 1u);
    EXPECT_EQ(reload.problems()[0].rfind("show.zip: ", 0), 0u) << reload.problems()[0];
    EXPECT_EQ(middle(), 0xff0000u);

    pack("green.png");
    ASSERT_TRUE(pollUntil([&] { return middle() == 0x00ff00u; }));
    EXPECT_TRUE(reload.problems().empty());
}

TEST_F(LiveReloadTest, AHeldScriptWaitsForTheMakersEditsAndTheirOwnSaveIsNoChange)
{
    REQUIRE_GL(gl);
    InitGLState(Width, Height);
    loadShow();
    ASSERT_TRUE(reload.start(*show));
    const std::string loaded = fileBytes("script.txt");
    EXPECT_EQ(reload.script(), loaded);

    // Edited on disk while the maker has unsaved edits: told once, the timeline kept.
    reload.holdScript(true);
    std::string changed = loaded;
    changed.replace(changed.find("60000"), 5, "30000");
    write("script.txt", changed);
    EXPECT_TRUE(pollUntil([&] { return reload.scriptWaiting(); }));
    EXPECT_FALSE(pollFor(300ms)) << "said once";
    EXPECT_EQ(show->Timeline[0].endTime, 60000);

    // The hold ends (every edit undone): the version on disk is loaded.
    reload.holdScript(false);
    ASSERT_TRUE(pollUntil([&] { return show->Timeline[0].endTime == 30000; }));
    EXPECT_FALSE(reload.scriptWaiting());
    EXPECT_EQ(reload.script(), changed);

    // What the maker saves is the timeline already: nothing is loaded again.
    std::string saved = changed;
    saved.replace(saved.find("30000"), 5, "45000");
    reload.scriptSaved(saved);
    write("script.txt", saved);
    EXPECT_FALSE(pollFor(300ms));
    EXPECT_EQ(show->Timeline[0].endTime, 30000) << "the maker's own timeline, not read back";
}
