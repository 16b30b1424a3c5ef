#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/desktop_platform.h"
#include "desktop/shell_state.h"
#include "render/render_mode.h"
#include "scene_writer.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A demo folder of the test's own and a show of it, loaded from where the test stands.
class LoadScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("taldrex-script-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "Data");
        DataFolder folder;
        std::string problem;
        ASSERT_TRUE(folder.open(dir.string(), true, problem)) << problem;
        show = std::make_unique<Show>(folder);
        NoSound = 0;
    }
    void TearDown() override
    {
        show.reset();
        fs::remove_all(dir);
        NoSound = 0;
    }
    void script(const std::string& text) { std::ofstream(dir / "script.txt", std::ios::binary) << text; }
    // A scene whose one material takes its texture from map slot 1.
    void textureScene(const std::string& file, const std::string& mapName)
    {
        SceneSpec scene;
        MaterialSpec material;
        material.name = "m";
        material.maps[1] = {1.0f, mapName};
        scene.materials.push_back(material);
        ASSERT_TRUE(saveScene(scene, (dir / "Data" / file).string()));
    }
    void copyPicture(const char* shared, const std::string& as)
    {
        fs::copy_file(fs::path(TALDREX_SHARED_TESTDATA) / shared, dir / "Data" / as);
    }

    fs::path dir;
    std::unique_ptr<Show> show;
};

} // namespace

TEST_F(LoadScript, FillsTheRegistriesAndTimelineInFileOrder)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    copyPicture("jpeg/testorig.jpg", "Photo.JPG");
    copyPicture("png/basn6a08.png", "alpha.png");
    textureScene("early.scn", "maps\\PHOTO.jpg");
    textureScene("late.scn", "alpha.png");
    script("[Scenes]\nlate.scn\nMissing.scn\n\n[textures]\nphoto.jpg\n  alpha.png\nphoto.jpg.png\n\n"
           "[scenes]\nearly.scn\n\n[part]\nearly.scn\n100\ncam\nphoto.jpg\nstandard\n");
    SoundStream* stream = nullptr;
    NoSound = 1;
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));

    // Every listed texture is registered, even one whose file is missing; the key is the
    // whole lower-cased line, leading spaces included.
    ASSERT_NE(show->TextureRegistry.find("photo.jpg"), nullptr);
    ASSERT_NE(show->TextureRegistry.find("  alpha.png"), nullptr);
    EXPECT_EQ(show->TextureRegistry.find("alpha.png"), nullptr);
    // A line naming both kinds is loaded twice and keeps the PNG texture, made last.
    ASSERT_NE(show->TextureRegistry.find("photo.jpg.png"), nullptr);
    EXPECT_GT(show->TextureRegistry.find("photo.jpg.png")->get(), show->TextureRegistry.find("  alpha.png")->get());

    // A scene file that cannot be opened leaves its name without a scene: it would have
    // been empty, and the parts naming it draw no scene either way.
    EXPECT_EQ(show->SceneRegistry.find("missing.scn"), nullptr);

    // Materials resolve only textures listed before their scene.
    ASSERT_NE(show->SceneRegistry.find("early.scn"), nullptr);
    Scene& early = **show->SceneRegistry.find("early.scn");
    ASSERT_EQ(early.renderModes.size(), 1);
    EXPECT_EQ(GLuint(early.renderModes[0]->textures[0]), show->TextureRegistry.find("photo.jpg")->get());
    Scene& late = **show->SceneRegistry.find("late.scn");
    ASSERT_EQ(late.renderModes.size(), 1);
    EXPECT_EQ(late.renderModes[0]->textures[0], 0);

    ASSERT_EQ(show->Timeline.size(), 1);
    EXPECT_EQ(show->Timeline[0].endTime, 100);
    EXPECT_EQ(show->Timeline[0].backgroundName, "photo.jpg");
}

TEST_F(LoadScript, AnMp3ThatDoesNotOpenTurnsSoundOffForGood)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    script("[mp3]\nnothing.mp3\n\n");
    SoundStream* stream = nullptr;
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(NoSound, 1);
    EXPECT_EQ(show->SoundtrackPath, "Data/nothing.mp3");
}

TEST_F(LoadScript, AnUnreadableScriptIsReported)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    SoundStream* stream = nullptr;
    EXPECT_FALSE(show->LoadScript(Desktop(), stream));
}

namespace {

// The texture names and display lists alive in the current context, found by asking
// about every name up to a bound far above what the tests make.
int liveTextures()
{
    int live = 0;
    for (GLuint name = 1; name < 2000; ++name)
        live += glIsTexture(name) ? 1 : 0;
    return live;
}

int liveDisplayLists()
{
    int live = 0;
    for (GLuint name = 1; name < 2000; ++name)
        live += glIsList(name) ? 1 : 0;
    return live;
}

} // namespace

TEST_F(LoadScript, ATextureListedAgainIsNotBuiltAgain)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    copyPicture("jpeg/testorig.jpg", "photo.jpg");
    copyPicture("png/basn6a08.png", "photo.jpg.png");
    std::string text = "[textures]\n";
    for (int i = 0; i < 200; ++i)
        text += "photo.jpg\nphoto.jpg.png\n";
    script(text + "\n");
    SoundStream* stream = nullptr;
    NoSound = 1;
    const int before = liveTextures();
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));

    // The loading picture, the photo, and the line naming both kinds, which keeps its PNG
    // and releases the JPEG it built first.
    EXPECT_EQ(liveTextures() - before, 3);
    ASSERT_NE(show->TextureRegistry.find("photo.jpg.png"), nullptr);
    glBindTexture(GL_TEXTURE_2D, show->TextureRegistry.find("photo.jpg.png")->get());
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 32); // basn6a08.png, not the 227-pixel photo
}

TEST_F(LoadScript, ASceneListedAgainIsLoadedAgainAndTheOneItReplacesIsFreed)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    SceneSpec spec;
    spec.nodes.push_back(makeNode(NodeType::Mesh, "one"));
    spec.nodes.push_back(makeNode(NodeType::Mesh, "two"));
    ASSERT_TRUE(saveScene(spec, (dir / "Data" / "meshes.scn").string()));
    // Listed before and after its texture: the last load finds it.
    textureScene("textured.scn", "photo.jpg");
    copyPicture("jpeg/testorig.jpg", "photo.jpg");
    std::string text = "[scenes]\ntextured.scn\n";
    for (int i = 0; i < 50; ++i)
        text += "meshes.scn\n";
    script(text + "\n[textures]\nphoto.jpg\n\n[scenes]\ntextured.scn\n");
    SoundStream* stream = nullptr;
    NoSound = 1;
    const int before = liveDisplayLists();
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));

    // One list per static mesh of the scenes that stay registered.
    EXPECT_EQ(liveDisplayLists() - before, 2);
    Scene& textured = **show->SceneRegistry.find("textured.scn");
    ASSERT_EQ(textured.renderModes.size(), 1);
    EXPECT_EQ(GLuint(textured.renderModes[0]->textures[0]), show->TextureRegistry.find("photo.jpg")->get());
}

TEST_F(LoadScript, TwoShowsLoadedSideBySideFindOnlyTheirOwnFiles)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    NoSound = 1;
    // The first show is the fixture's; the second lies beside it, with a picture of the
    // same name and a picture, scene and part of its own.
    copyPicture("jpeg/testorig.jpg", "shared.jpg");
    copyPicture("png/basn6a08.png", "first.png");
    textureScene("first.scn", "shared.jpg");
    script("[textures]\nshared.jpg\nfirst.png\n\n[scenes]\nfirst.scn\n\n"
           "[part]\nfirst.scn\n100\ncam\nstandard\nstandard\n");
    const fs::path other = dir.string() + "-other";
    fs::remove_all(other);
    fs::create_directories(other / "data");
    for (const char* name : {"shared.jpg", "second.jpg"})
        fs::copy_file(fs::path(TALDREX_SHARED_TESTDATA) / "jpeg/testorig.jpg", other / "data" / name);
    ASSERT_TRUE(saveScene(SceneSpec(), (other / "data" / "second.scn").string()));
    std::ofstream(other / "script.txt", std::ios::binary)
        << "[textures]\nshared.jpg\nsecond.jpg\n\n[scenes]\nsecond.scn\n\n"
           "[part]\nsecond.scn\n200\ncam\nstandard\nstandard\n";
    DataFolder otherFolder;
    std::string problem;
    ASSERT_TRUE(otherFolder.open(other.string(), true, problem)) << problem;
    Show second(otherFolder);

    SoundStream* stream = nullptr;
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));
    ASSERT_TRUE(second.LoadScript(Desktop(), stream));
    fs::remove_all(other);

    struct Expect {
        const Show& show;
        const char* texture;
        const char* scene;
        bool found;
    };
    const Expect cases[] = {
        {*show, "first.png", "first.scn", true},
        {second, "first.png", "first.scn", false},
        {second, "second.jpg", "second.scn", true},
        {*show, "second.jpg", "second.scn", false},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(std::string(c.texture) + (&c.show == &second ? " in the second" : " in the first"));
        EXPECT_EQ(c.show.TextureRegistry.find(c.texture) != nullptr, c.found);
        EXPECT_EQ(c.show.SceneRegistry.find(c.scene) != nullptr, c.found);
    }
    // A picture of the same name is a texture of each show's own; each keeps its own parts.
    ASSERT_NE(second.TextureRegistry.find("shared.jpg"), nullptr);
    EXPECT_NE(second.TextureRegistry.find("shared.jpg")->get(), show->TextureRegistry.find("shared.jpg")->get());
    ASSERT_EQ(show->Timeline.size(), 1);
    ASSERT_EQ(second.Timeline.size(), 1);
    EXPECT_EQ(show->Timeline[0].endTime, 100);
    EXPECT_EQ(second.Timeline[0].endTime, 200);
    // Each show's pictures take from its own texture memory.
    EXPECT_LT(second.TextureBudget.remaining(), second.TextureBudget.total());
    EXPECT_NE(show->TextureBudget.remaining(), second.TextureBudget.remaining());
}

TEST_F(LoadScript, ReleasingAShowDeletesItsTexturesInItsContext)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    NoSound = 1;
    copyPicture("jpeg/testorig.jpg", "photo.jpg");
    copyPicture("png/basn6a08.png", "alpha.png");
    script("[textures]\nphoto.jpg\nalpha.png\n");
    const int before = liveTextures();
    SoundStream* stream = nullptr;
    ASSERT_TRUE(show->LoadScript(Desktop(), stream));
    const GLuint photo = show->TextureRegistry.find("photo.jpg")->get();
    ASSERT_TRUE(glIsTexture(photo));
    // The loading picture is the loader's, not the show's: it stays.
    EXPECT_EQ(liveTextures(), before + 3);
    show.reset();
    EXPECT_FALSE(glIsTexture(photo));
    EXPECT_EQ(liveTextures(), before + 1);
}
