#include "demo/check.h"
#include "image/image_limits.h"
#include "scene_writer.h"
#include "support/image_bombs.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class CheckFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("taldrex-check-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
        previous = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    void copyShared(const char* shared, const std::string& name)
    {
        fs::copy_file(fs::path(TALDREX_SHARED_TESTDATA) / shared, dir / name);
    }
    // How many reported problems are about file and contain text.
    int count(const std::vector<CheckProblem>& problems, const std::string& file, const std::string& text)
    {
        int n = 0;
        for (const CheckProblem& p : problems)
            if (p.file == file && p.problem.find(text) != std::string::npos)
                ++n;
        return n;
    }

    fs::path dir, previous;
};

SceneSpec cameraScene()
{
    SceneSpec scene;
    scene.nodes.push_back(makeNode(NodeType::Mesh, "mesh"));
    scene.nodes.push_back(makeNode(NodeType::Camera, "cam"));
    scene.nodes.push_back(makeNode(NodeType::Target, "cam"));
    MaterialSpec material;
    material.name = "skin";
    material.maps[1] = {1.0f, "maps\\LATE.bmp"};
    material.maps[9] = {1.0f, "nowhere.jpg"};
    scene.materials.push_back(material);
    return scene;
}

} // namespace

TEST_F(CheckFolder, ReportsEachProblemTheShowWouldHideOnceWithItsFile)
{
    copyShared("mp3/l3-sin1k0db.bit", "data/music.mp3");
    copyShared("jpeg/testorig.jpg", "data/bg.jpg");
    copyShared("png/basn6a08.png", "data/late.png");
    write("data/broken.png", "\x89PNG\r\n\x1a\nnot really");
    ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
    std::string whole = writeScene(cameraScene());
    write("data/cut.scn", whole.substr(0, 40));

    write("script.txt", "[mp3]\nmusic.mp3\n\n"
                        "[textures]\nbg.jpg\nbroken.png\nmissing.jpg\n\n"
                        "[scenes]\nscene.scn\ncut.scn\n\n"
                        "[textures]\nlate.png\n\n"
                        "[part]\nscene.scn\n1000\ncam\nbg.jpg\nstandard\n"
                        "[part]\nunknown.scn\n1500\ncam\nstandard\nunlisted.png\n"
                        "[part]\nscene.scn\n1200\nnomatch\nstandard\nstandard\n"
                        "[part]\nscene.scn\n999999\nmes\nstandard\nstandard\n");
    std::vector<CheckProblem> problems = CheckDemoFolder();

    EXPECT_EQ(count(problems, "data/broken.png", "does not decode"), 1);
    EXPECT_EQ(count(problems, "data/missing.jpg", "does not exist"), 1);
    EXPECT_EQ(count(problems, "data/cut.scn", "reading stopped at byte"), 1);
    EXPECT_EQ(count(problems, "data/scene.scn", "listed after this scene"), 1);
    EXPECT_EQ(count(problems, "data/scene.scn", "nowhere.jpg\" resolves to no texture"), 1);
    EXPECT_EQ(count(problems, "script.txt", "part 2: scene \"unknown.scn\" is not listed"), 1);
    EXPECT_EQ(count(problems, "script.txt", "part 2: image \"unlisted.png\" is not listed"), 1);
    EXPECT_EQ(count(problems, "script.txt", "part 3: end time 1200 ms does not come after"), 1);
    EXPECT_EQ(count(problems, "script.txt", "part 3: camera \"nomatch\" matches no node"), 1);
    EXPECT_EQ(count(problems, "script.txt", "part 4: camera \"mes\" first matches the mesh node"), 1);
    EXPECT_EQ(count(problems, "script.txt", "part 4: ends at 999999 ms, after the music"), 1);
    EXPECT_EQ(problems.size(), 11u);
    EXPECT_EQ(ReportCheck(problems, "show"), 1);
}

TEST_F(CheckFolder, AMissingScriptAndACleanFolder)
{
    std::vector<CheckProblem> problems = CheckDemoFolder();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].file, "script.txt");

    copyShared("jpeg/testorig.jpg", "data/bg.jpg");
    ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
    copyShared("png/basn6a08.png", "data/late.png");
    copyShared("png/basn2c08.png", "data/nowhere.png");
    write("script.txt", "[textures]\nbg.jpg\nlate.png\nnowhere.png\n\n[scenes]\nscene.scn\n\n"
                        "[part]\nscene.scn\n1000\ncam\nbg.jpg\nstandard\n");
    problems = CheckDemoFolder();
    for (const CheckProblem& p : problems)
        ADD_FAILURE() << p.file << ": " << p.problem;
    EXPECT_EQ(ReportCheck(problems, "show"), 0);
}

TEST_F(CheckFolder, ReportsImagesTheShowWouldRefuseOrShowIncompleteTheLoadingPictureIncluded)
{
    copyShared("jpeg/testorig.jpg", "data/loading.jpg");
    fs::resize_file(dir / "data" / "loading.jpg", fs::file_size(dir / "data" / "loading.jpg") / 2);
    copyShared("jpeg/testorig.jpg", "data/cut.jpg");
    fs::resize_file(dir / "data" / "cut.jpg", fs::file_size(dir / "data" / "cut.jpg") * 2 / 3);
    copyShared("jpeg/testorig.jpg", "data/late.jpg");
    write("data/huge.png", bombs::pngDeclaring(16384, 16384));
    write("data/huge.jpg", bombs::jpegDeclaring(16384, 16384));
    write("data/scans.jpg", bombs::progressiveWithExtraScans(64, 1100));
    write("script.txt", "[textures]\nhuge.png\nhuge.jpg\nscans.jpg\ncut.jpg\ncut.jpg\nlate.jpg\n\n");
    // Room for the loading picture and one more photo of 227 x 149 pixels.
    const ImageBudget saved = TextureBudget;
    TextureBudget = ImageBudget(250000);
    std::vector<CheckProblem> problems = CheckDemoFolder();
    TextureBudget = saved;

    EXPECT_EQ(count(problems, "data/loading.jpg", "is damaged: the JPEG decodes only part-way"), 1);
    EXPECT_EQ(count(problems, "data/huge.png", "refused: declares 16384 x 16384 pixels, more than its 67 bytes"), 1);
    EXPECT_EQ(count(problems, "data/huge.jpg", "refused: declares 16384 x 16384 pixels"), 1);
    EXPECT_EQ(count(problems, "data/scans.jpg", "refused: holds more than 1000 scans"), 1);
    // Listed twice, reported once: the show builds it once.
    EXPECT_EQ(count(problems, "data/cut.jpg", "is damaged: the JPEG decodes only part-way"), 1);
    EXPECT_EQ(count(problems, "data/late.jpg", "would pass the show's texture memory"), 1);
    EXPECT_EQ(problems.size(), 6u);

    // An undecodable loading picture is reported; a missing one is not (the frame is white).
    write("data/loading.jpg", "not a picture");
    problems = CheckDemoFolder();
    EXPECT_EQ(count(problems, "data/loading.jpg", "does not decode as JPEG (the loading frame would be plain white)"), 1);
    fs::remove(dir / "data" / "loading.jpg");
    problems = CheckDemoFolder();
    EXPECT_EQ(count(problems, "data/loading.jpg", ""), 0);
}
