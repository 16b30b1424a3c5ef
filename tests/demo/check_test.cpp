#include "demo/check.h"

#include "common/data_file.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
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

TEST_F(CheckFolder, FilesOutsideTheFolderAndSpecialFilesAreProblemsNamedForWhatTheyAre)
{
    ASSERT_TRUE(SetDemoFolderBoundary("."));
    write("../taldrex-check-secret.png", "secret");
    fs::create_symlink(dir.parent_path() / "taldrex-check-secret.png", dir / "data" / "link.png");
    ASSERT_EQ(mkfifo((dir / "data" / "pipe.scn").c_str(), 0644), 0);
    fs::create_directory(dir / "data" / "folder.jpg");
    write("script.txt", "[textures]\n../../taldrex-check-secret.png\nlink.png\nfolder.jpg\n\n"
                        "[scenes]\npipe.scn\n\n");
    std::vector<CheckProblem> problems = CheckDemoFolder();
    SetDemoFolderBoundary("");
    fs::remove(dir.parent_path() / "taldrex-check-secret.png");

    EXPECT_EQ(count(problems, "data/../../taldrex-check-secret.png", "outside the demo folder"), 1);
    EXPECT_EQ(count(problems, "data/link.png", "outside the demo folder"), 1);
    EXPECT_EQ(count(problems, "data/folder.jpg", "is a folder, not a regular file"), 1);
    EXPECT_EQ(count(problems, "data/pipe.scn", "is a FIFO, not a regular file"), 1);
}

TEST_F(CheckFolder, ProblemLinesPrintNamesEscaped)
{
    testing::internal::CaptureStdout();
    ReportCheck({{"data/\x1b[2Jx.png", "does not exist"}}, "show");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_NE(out.find("data/\\x1b[2Jx.png: does not exist"), std::string::npos) << out;
}

TEST_F(CheckFolder, ASoundtrackThatIsNoRegularFileOrTooLargeIsReportedAtOnce)
{
    write("script.txt", "[mp3]\nmusic.mp3\n");
    const std::string music = (dir / "data" / "music.mp3").string();
    ASSERT_EQ(mkfifo(music.c_str(), 0600), 0);
    auto checking = std::async(std::launch::async, [] { return CheckDemoFolder(); });
    const bool answered = checking.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
    if (!answered) {
        // A writer that comes and goes releases a reader waiting on the FIFO.
        int fd = open(music.c_str(), O_WRONLY);
        if (fd >= 0)
            close(fd);
    }
    EXPECT_TRUE(answered) << "the check waited for a writer to the FIFO";
    std::vector<CheckProblem> problems = checking.get();
    EXPECT_EQ(count(problems, "data/music.mp3", "is a FIFO, not a regular file"), 1);
    EXPECT_EQ(problems.size(), 1u);

    // Larger than any soundtrack may be: refused on its size, without a byte read.
    fs::remove(music);
    write("data/music.mp3", "");
    fs::resize_file(music, (512ull << 20) + 1);
    problems = CheckDemoFolder();
    EXPECT_EQ(count(problems, "data/music.mp3", "more than the 512 MiB a file of its kind may be"), 1);
    EXPECT_EQ(problems.size(), 1u);
}
