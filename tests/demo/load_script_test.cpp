#include "app/shell_state.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "image/texture_registry.h"
#include "render/render_mode.h"
#include "scene_writer.h"
#include "support/gl_test_context.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A demo folder of the test's own, made the current folder for the test's length.
class LoadScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("taldrex-script-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "Data");
        previous = fs::current_path();
        fs::current_path(dir);
        Timeline.setSize(0);
        SceneRegistry.clear();
        TextureRegistry.clear();
        NoSound = 0;
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(dir);
        Timeline.setSize(0);
        SceneRegistry.clear();
        TextureRegistry.clear();
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

    fs::path dir, previous;
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
    ASSERT_TRUE(::LoadScript(stream, DataFolder()));

    // Every listed texture is registered, even one whose file is missing; the key is the
    // whole lower-cased line, leading spaces included.
    ASSERT_NE(TextureRegistry.find("photo.jpg"), nullptr);
    ASSERT_NE(TextureRegistry.find("  alpha.png"), nullptr);
    EXPECT_EQ(TextureRegistry.find("alpha.png"), nullptr);
    // A line naming both kinds is loaded twice and keeps the PNG texture, made last.
    ASSERT_NE(TextureRegistry.find("photo.jpg.png"), nullptr);
    EXPECT_GT(*TextureRegistry.find("photo.jpg.png"), *TextureRegistry.find("  alpha.png"));

    // A scene file that cannot be opened leaves its name without a scene: it would have
    // been empty, and the parts naming it draw no scene either way.
    EXPECT_EQ(SceneRegistry.find("missing.scn"), nullptr);

    // Materials resolve only textures listed before their scene.
    ASSERT_NE(SceneRegistry.find("early.scn"), nullptr);
    Scene& early = **SceneRegistry.find("early.scn");
    ASSERT_EQ(early.renderModes.size(), 1);
    EXPECT_EQ(GLuint(early.renderModes[0]->textures[0]), *TextureRegistry.find("photo.jpg"));
    Scene& late = **SceneRegistry.find("late.scn");
    ASSERT_EQ(late.renderModes.size(), 1);
    EXPECT_EQ(late.renderModes[0]->textures[0], 0);

    ASSERT_EQ(Timeline.size(), 1);
    EXPECT_EQ(Timeline[0].endTime, 100);
    EXPECT_EQ(Timeline[0].backgroundName, "photo.jpg");
}

TEST_F(LoadScript, AnMp3ThatDoesNotOpenTurnsSoundOffForGood)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    script("[mp3]\nnothing.mp3\n\n");
    SoundStream* stream = nullptr;
    ASSERT_TRUE(::LoadScript(stream, DataFolder()));
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(NoSound, 1);
    EXPECT_EQ(SoundtrackPath, "Data/nothing.mp3");
}

TEST_F(LoadScript, AnUnreadableScriptIsReported)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    SoundStream* stream = nullptr;
    EXPECT_FALSE(::LoadScript(stream, DataFolder()));
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
    ASSERT_TRUE(::LoadScript(stream, DataFolder()));

    // The loading picture, the photo, and the line naming both kinds, which keeps its PNG
    // and releases the JPEG it built first.
    EXPECT_EQ(liveTextures() - before, 3);
    ASSERT_NE(TextureRegistry.find("photo.jpg.png"), nullptr);
    glBindTexture(GL_TEXTURE_2D, *TextureRegistry.find("photo.jpg.png"));
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
    ASSERT_TRUE(::LoadScript(stream, DataFolder()));

    // One list per static mesh of the scenes that stay registered.
    EXPECT_EQ(liveDisplayLists() - before, 2);
    Scene& textured = **SceneRegistry.find("textured.scn");
    ASSERT_EQ(textured.renderModes.size(), 1);
    EXPECT_EQ(GLuint(textured.renderModes[0]->textures[0]), *TextureRegistry.find("photo.jpg"));
}
