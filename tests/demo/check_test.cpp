#include "demo/check.h"
#include "desktop/desktop_platform.h"

#include "common/data_file.h"
#include "demo/load_report.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/shell_state.h"
#include "graph/camera_node.h"
#include "image/image_limits.h"
#include "scene/scene.h"
#include "scene_writer.h"
#include "support/gl_test_context.h"
#include "support/image_bombs.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
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
    }
    void TearDown() override { fs::remove_all(dir); }
    // The folder as the player opens it: confined, and not the current folder.
    DataFolder showFolder() const
    {
        DataFolder folder;
        std::string problem;
        EXPECT_TRUE(folder.open(dir.string(), true, problem)) << problem;
        return folder;
    }
    std::vector<CheckProblem> check(long long textureMemory = DefaultTextureMemory) const
    {
        return CheckDemoFolder(showFolder(), textureMemory);
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

    // Loads the folder as a window run does, into a show of its own with textureMemory for
    // its pictures, and returns what loading found.
    LoadReport loadShow(long long textureMemory = DefaultTextureMemory)
    {
        const int savedNoSound = NoSound;
        NoSound = 1;
        Show show(showFolder(), textureMemory);
        LoadReport loaded;
        SoundStream* stream = nullptr;
        EXPECT_TRUE(show.LoadScript(Desktop(), stream, &loaded));
        NoSound = savedNoSound;
        return loaded;
    }
    // The problems as ReportCheck prints them, one line each.
    static std::vector<std::string> lines(const std::vector<CheckProblem>& problems)
    {
        std::vector<std::string> out;
        for (const CheckProblem& p : problems)
            out.push_back(p.file + ":" + std::to_string(p.line) + ": " + p.problem);
        return out;
    }

    fs::path dir;
};

SceneSpec cameraScene()
{
    SceneSpec scene;
    scene.nodes.push_back(makeNode(NodeType::Mesh, "mesh"));
    scene.nodes.push_back(makeNode(NodeType::Camera, "cam", {0, -10, 2}));
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
    std::vector<CheckProblem> problems = check();

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
    std::vector<CheckProblem> problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].file, "script.txt");

    copyShared("jpeg/testorig.jpg", "data/bg.jpg");
    ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
    copyShared("png/basn6a08.png", "data/late.png");
    copyShared("png/basn2c08.png", "data/nowhere.png");
    write("script.txt", "[textures]\nbg.jpg\nlate.png\nnowhere.png\n\n[scenes]\nscene.scn\n\n"
                        "[part]\nscene.scn\n1000\ncam\nbg.jpg\nstandard\n");
    problems = check();
    for (const CheckProblem& p : problems)
        ADD_FAILURE() << p.file << ": " << p.problem;
    EXPECT_EQ(ReportCheck(problems, "show"), 0);
}

TEST_F(CheckFolder, FilesOutsideTheFolderAndSpecialFilesAreProblemsNamedForWhatTheyAre)
{
    write("../taldrex-check-secret.png", "secret");
    fs::create_symlink(dir.parent_path() / "taldrex-check-secret.png", dir / "data" / "link.png");
    ASSERT_EQ(mkfifo((dir / "data" / "pipe.scn").c_str(), 0644), 0);
    fs::create_directory(dir / "data" / "folder.jpg");
    write("script.txt", "[textures]\n../../taldrex-check-secret.png\nlink.png\nfolder.jpg\n\n"
                        "[scenes]\npipe.scn\n\n");
    std::vector<CheckProblem> problems = check();
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
    auto checking = std::async(std::launch::async, [this] { return check(); });
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
    problems = check();
    EXPECT_EQ(count(problems, "data/music.mp3", "more than the 512 MiB a file of its kind may be"), 1);
    EXPECT_EQ(problems.size(), 1u);
}

namespace {

// A scene of one mesh (a triangle on vertices 0, 1, 2) and the cameras that build() adds.
struct DamagedScene {
    SceneSpec spec;
    DamagedScene()
    {
        NodeSpec mesh = makeNode(NodeType::Mesh, "Hull");
        mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        mesh.faces.push_back({{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}});
        mesh.groups.push_back({0, {0}});
        spec.nodes.push_back(mesh);
        spec.materials.resize(1);
    }
    NodeSpec& mesh() { return spec.nodes[0]; }
};

// The offset in bytes of needle in bytes (it must occur once).
size_t offsetOf(const std::string& bytes, const std::string& needle)
{
    size_t at = bytes.find(needle);
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(bytes.find(needle, at + 1), std::string::npos);
    return at;
}

std::string int32Bytes(int32_t v)
{
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

} // namespace

TEST_F(CheckFolder, NamesTheNodeAndByteOfWhatTheReaderPassesOver)
{
    // Faces naming vertex 7 of 3 (dropped), a group index past the faces and a group of a
    // material that does not exist, then a rotation track whose count is negative.
    DamagedScene scene;
    NodeSpec& mesh = scene.mesh();
    mesh.faces.push_back({{{0, 0, 0}, {7, 0, 0}, {2, 0, 0}}});
    mesh.faces.push_back({{{7, 0, 0}, {1, 0, 0}, {2, 0, 0}}});
    mesh.groups[0].faces = {0, 1, 2, 40};
    mesh.groups.push_back({5, {0}});
    mesh.rotation.headerWord = 0x0BADF00D;
    mesh.rotation.keys.clear();
    std::string bytes = writeScene(scene.spec);
    // The rotation track's count, made negative after the fact.
    const size_t rotationCount = offsetOf(bytes, int32Bytes(0x0BADF00D)) + 4;
    bytes.replace(rotationCount, 4, int32Bytes(-3));
    write("data/damaged.scn", bytes);
    write("script.txt", "[scenes]\ndamaged.scn\n");

    // The byte offsets, found in the file as the writer laid it out.
    const size_t firstDropped = offsetOf(bytes, int32Bytes(7) + std::string(8, '\0') + int32Bytes(2)) - 12;
    const size_t badIndex = offsetOf(bytes, int32Bytes(40)) - 8;
    const size_t badGroup = offsetOf(bytes, int32Bytes(5) + int32Bytes(1));

    std::vector<CheckProblem> problems = check();
    const std::string file = "data/damaged.scn";
    EXPECT_EQ(count(problems, file, "node \"hull\": 2 of 3 faces name a vertex outside the 3 vertices and are not "
                                    "drawn (the first is face 1), at byte " + std::to_string(firstDropped)), 1);
    EXPECT_EQ(count(problems, file, "node \"hull\": 3 face indices of its groups name no face, or a dropped one, "
                                    "and are skipped, at byte " + std::to_string(badIndex)), 1);
    EXPECT_EQ(count(problems, file, "node \"hull\": negative count of track keys (-3), read as 0, at byte " +
                                        std::to_string(rotationCount)), 1);
    EXPECT_EQ(count(problems, file, "node \"hull\": material index 5 of a group names none of the 1 materials; "
                                    "its 1 faces are not drawn, at byte " + std::to_string(badGroup)), 1);
    EXPECT_EQ(problems.size(), 4u);
    for (const CheckProblem& p : problems)
        EXPECT_EQ(p.file, file) << p.problem;
}

TEST_F(CheckFolder, CamerasThatDrawBlack)
{
    // One part per camera: no target, a target reached at frame 30, a field of view that
    // comes to 0 at frame 10, and one that is NaN or infinite from the start.
    DamagedScene scene;
    scene.spec.nodes.push_back(makeNode(NodeType::Camera, "lonely", {0, -10, 0}));
    NodeSpec meeting = makeNode(NodeType::Camera, "meeting", {0, -10, 0});
    meeting.position.keys.push_back({30, {0, 0, 0}});
    scene.spec.nodes.push_back(meeting);
    scene.spec.nodes.push_back(makeNode(NodeType::Target, "meeting"));
    const float fields[] = {0.0f, std::nanf(""), INFINITY};
    const char* names[] = {"zero", "nan", "infinite"};
    for (int i = 0; i < 3; ++i) {
        NodeSpec camera = makeNode(NodeType::Camera, names[i], {0, -10, 0});
        if (i == 0)
            camera.fov.keys.push_back({10, fields[i]});
        else
            camera.fov.keys[0].value = fields[i];
        scene.spec.nodes.push_back(camera);
        scene.spec.nodes.push_back(makeNode(NodeType::Target, names[i]));
    }
    // A camera that is good, used twice: nothing to say about it.
    scene.spec.nodes.push_back(makeNode(NodeType::Camera, "good", {0, -10, 0}));
    scene.spec.nodes.push_back(makeNode(NodeType::Target, "good"));
    ASSERT_TRUE(saveScene(scene.spec, (dir / "data" / "cams.scn").string()));
    std::string script = "[scenes]\ncams.scn\n\n";
    int end = 0;
    for (const char* camera : {"lonely", "meeting", "zero", "nan", "infinite", "good", "good", "lonely"})
        script += "[part]\ncams.scn\n" + std::to_string(end += 100) + "\n" + camera + "\nstandard\nstandard\n";
    write("script.txt", script);

    std::vector<CheckProblem> problems = check();
    const std::string file = "data/cams.scn";
    EXPECT_EQ(count(problems, file, "camera \"lonely\": no target node of the same name"), 1);
    EXPECT_EQ(count(problems, file, "camera \"meeting\": its target sits at the eye at frame 30"), 1);
    EXPECT_EQ(count(problems, file, "camera \"zero\": field of view is 0 at frame 10"), 1);
    EXPECT_EQ(count(problems, file, "camera \"nan\": field of view is not a number at frame 0"), 1);
    EXPECT_EQ(count(problems, file, "camera \"infinite\": field of view is infinite at frame 0"), 1);
    EXPECT_EQ(problems.size(), 5u);
}

TEST_F(CheckFolder, APartWhoseCameraSeesNoVertexIsNamedWithItsTimes)
{
    // The hull lies at the origin. Each camera is looked through by one part: the last two
    // see it only at a key frame, or only through a key of the target.
    DamagedScene scene;
    const struct {
        const char* name;
        Vector3 eye, target;
        bool black;
    } cameras[] = {
        {"away", {0, -10, 0}, {0, -20, 0}, true},
        {"beyond", {0, -20000, 0}, {0, 0, 0}, true},
        {"behind", {0, 10, 0.5f}, {0, 20, 0.5f}, true},
        {"front", {0, -10, 0}, {0, 0, 0}, false},
        {"arriving", {0, -10, 0}, {0, -20, 0}, false},
        {"turning", {0, -10, 0}, {0, -20, 0}, false},
    };
    for (const auto& c : cameras) {
        NodeSpec camera = makeNode(NodeType::Camera, c.name, c.eye);
        NodeSpec target = makeNode(NodeType::Target, c.name, c.target);
        if (std::string(c.name) == "arriving")
            camera.position.keys.push_back({40, {0, -20000, 0}}), camera.position.keys.push_back({60, {0, 30, 0}});
        if (std::string(c.name) == "turning")
            target.position.keys.push_back({20, {0, 0, 0}});
        scene.spec.nodes.push_back(camera);
        scene.spec.nodes.push_back(target);
    }
    ASSERT_TRUE(saveScene(scene.spec, (dir / "data" / "cams.scn").string()));
    std::string script = "[scenes]\ncams.scn\n\n";
    int end = 0;
    for (const auto& c : cameras)
        script += "[part]\ncams.scn\n" + std::to_string(end += 100) + "\n" + c.name + "\nstandard\nstandard\n";
    write("script.txt", script);

    const std::vector<CheckProblem> problems = check();
    size_t black = 0;
    for (size_t i = 0; i < std::size(cameras); ++i) {
        const std::string part = "part " + std::to_string(i + 1) + ": camera \"" + cameras[i].name + "\" sees no vertex "
                                 "of cams.scn between the near plane (0.1) and the far plane (10000) within its field "
                                 "of view, at frame 0 or at any of its keys; the part is black from " +
                                 std::to_string(i * 100) + " to " + std::to_string(i * 100 + 100) + " ms";
        EXPECT_EQ(count(problems, "script.txt", part), cameras[i].black ? 1 : 0) << cameras[i].name;
        black += cameras[i].black;
    }
    EXPECT_EQ(problems.size(), black);
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
    // Room for the loading picture's levels and one more photo of 227 x 149 pixels, not for
    // a second photo beside them.
    const auto costOf = [&](const char* name) {
        return TexturePictureCost(227, 149, 3, static_cast<long long>(fs::file_size(dir / "data" / name)));
    };
    std::vector<CheckProblem> problems = check(costOf("loading.jpg").stored + costOf("cut.jpg").total());

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
    problems = check();
    EXPECT_EQ(count(problems, "data/loading.jpg", "does not decode as JPEG (the loading frame would be plain white)"), 1);
    fs::remove(dir / "data" / "loading.jpg");
    problems = check();
    EXPECT_EQ(count(problems, "data/loading.jpg", ""), 0);
}

TEST_F(CheckFolder, LinesTheShowIgnoresAreReportedWithTheirLineNumbers)
{
    copyShared("jpeg/testorig.jpg", "data/bg.jpg");
    ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
    write("script.txt", "My show, by me\n"                      // 1
                        "[textures]\nbg.jpg\nlogo.bmp\nlate.png\nnowhere.png\n\n" // 2-7
                        "[scenes]\nscene.scn\n\n"               // 8-10
                        "[prat]\n"                              // 11
                        "[scene]\nother.scn\nthird.scn\n\n"     // 12-15
                        "[part]\nscene.scn\n1000\ncma\nbg.jpg\nstandard\n" // 16-21
                        "  # a comment, no problem\n"          // 22
                        "[credits]\n");                         // 23
    std::vector<CheckProblem> problems = check();
    auto at = [&](int line, const std::string& text) {
        int n = 0;
        for (const CheckProblem& p : problems)
            if (p.file == "script.txt" && p.line == line && p.problem.find(text) != std::string::npos)
                ++n;
        return n;
    };
    EXPECT_EQ(at(1, "text outside any section: \"my show, by me\" is ignored"), 1);
    EXPECT_EQ(at(4, "texture \"logo.bmp\" names neither a .jpg nor a .png file"), 1);
    EXPECT_EQ(at(11, "unknown header \"[prat]\" (did you mean [part]?); the show ignores it"), 1);
    EXPECT_EQ(at(12, "unknown header \"[scene]\" (did you mean [scenes]?); the show ignores it and the 2 lines"),
              1);
    EXPECT_EQ(at(19, "part 1: camera \"cma\" matches no node of scene.scn; did you mean \"cam\"?"), 1);
    EXPECT_EQ(at(23, "unknown header \"[credits]\"; the show ignores it"), 1);
    // Files a script line names carry that line too.
    EXPECT_EQ(count(problems, "data/late.png", "named in script.txt:5 but does not exist"), 1);
    EXPECT_EQ(count(problems, "data/nowhere.png", "named in script.txt:6 but does not exist"), 1);
    EXPECT_EQ(problems.size(), 8u);
    for (const CheckProblem& p : problems) {
        if (p.file == "script.txt") {
            EXPECT_GT(p.line, 0) << p.problem;
        }
    }

    testing::internal::CaptureStdout();
    ReportCheck(problems, "show");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("script.txt:11: unknown header \"[prat]\""), std::string::npos) << out;
    EXPECT_NE(out.find("data/late.png: named in script.txt:5"), std::string::npos) << out;
}

TEST_F(CheckFolder, EveryPartProblemCarriesTheLineItIsOn)
{
    ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
    write("script.txt", "[scenes]\nscene.scn\n\n"                        // 1-3
                        "[part]\nscene.scn\n1000\ncam\nnone.png\nstandard\n" // 4-9
                        "[part]\nlost.scn\n900\nmesh\nstandard\ngone.jpg\n"  // 10-15
                        "[part]\nscene.scn\n2000\nzzz\nstandard\nstandard\n"); // 16-21
    std::vector<CheckProblem> problems = check();
    std::vector<std::pair<int, std::string>> seen;
    for (const CheckProblem& p : problems)
        if (p.file == "script.txt")
            seen.push_back({p.line, p.problem});
    std::vector<std::pair<int, std::string>> expected = {
        {8, "part 1: image \"none.png\" is not listed under [textures]"},
        {11, "part 2: scene \"lost.scn\" is not listed under [scenes]"},
        {15, "part 2: image \"gone.jpg\" is not listed under [textures]"},
        {12, "part 2: end time 900 ms does not come after the previous part's; the part is never shown"},
        {19, "part 3: camera \"zzz\" matches no node of scene.scn; its cameras are \"cam\""},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(CheckFolder, AHeaderInsideAListIsAnEntryOfThatList)
{
    copyShared("jpeg/testorig.jpg", "data/bg.jpg");
    ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
    write("script.txt", "[textures]\nbg.jpg\n[scenes]\nscene.scn\n\n" // 1-5
                        "[scenes]\nscene.scn\n[part] one\n\n");      // 6-9
    std::vector<CheckProblem> problems = check();
    std::vector<std::pair<int, std::string>> seen;
    for (const CheckProblem& p : problems)
        if (p.file == "script.txt")
            seen.push_back({p.line, p.problem});
    std::vector<std::pair<int, std::string>> expected = {
        {3, "[scenes] is read as an entry of the [textures] list above it, and opens nothing: end that list "
            "with an empty line"},
        {4, "texture \"scene.scn\" names neither a .jpg nor a .png file; the show ignores it"},
        {8, "[part] is read as an entry of the [scenes] list above it, and opens nothing: end that list with "
            "an empty line"},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(CheckFolder, AScriptOfJunkReportsItsFirstHundredIgnoredLinesAndCountsTheRest)
{
    std::string junk;
    for (int i = 1; i <= 150; ++i)
        junk += "junk " + std::to_string(i) + "\n";
    write("script.txt", junk);
    std::vector<CheckProblem> problems = check();
    ASSERT_EQ(problems.size(), 101u);
    EXPECT_EQ(problems[99].line, 100);
    EXPECT_EQ(problems[100].line, 101);
    EXPECT_EQ(problems[100].problem, "and 50 more lines from here on that the show ignores");
}

TEST_F(CheckFolder, WhatLoadingFoundGivesTheProblemsReadingTheFilesGives)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    // A small show, then one way of damaging it per case.
    const std::string script = "[mp3]\nmusic.mp3\n\n[textures]\nbg.jpg\nlate.png\nnowhere.png\n\n"
                               "[scenes]\nscene.scn\n\n[part]\nscene.scn\n1000\ncam\nbg.jpg\nstandard\n";
    auto show = [&](const std::string& text) {
        fs::remove_all(dir / "data");
        fs::create_directories(dir / "data");
        copyShared("mp3/l3-sin1k0db.bit", "data/music.mp3");
        copyShared("jpeg/testorig.jpg", "data/bg.jpg");
        copyShared("png/basn6a08.png", "data/late.png");
        copyShared("png/basn2c08.png", "data/nowhere.png");
        ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
        write("script.txt", text);
    };
    long long memory = DefaultTextureMemory;
    struct Case {
        const char* name;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"clean", [&] { show(script); }},
        {"missing picture", [&] { show(script); fs::remove(dir / "data" / "bg.jpg"); }},
        {"undecodable picture", [&] { show(script); write("data/late.png", "\x89PNG\r\n\x1a\nnot really"); }},
        {"cut-short pictures, the loading picture too",
         [&] { show(script); fs::resize_file(dir / "data" / "bg.jpg", 3000);
               copyShared("jpeg/testorig.jpg", "data/loading.jpg");
               fs::resize_file(dir / "data" / "loading.jpg", 2000); }},
        {"undecodable loading picture", [&] { show(script); write("data/loading.jpg", "not a picture"); }},
        {"cut-short scene", [&] { show(script); write("data/scene.scn", writeScene(cameraScene()).substr(0, 40)); }},
        {"unknown scene and camera in a part",
         [&] { show(script + "[part]\nunknown.scn\n1500\ncam\nstandard\nunlisted.png\n"
                             "[part]\nscene.scn\n2000\nnomatch\nstandard\nstandard\n"
                             "[part]\nscene.scn\n2500\nmes\nstandard\nstandard\n"); }},
        {"map naming a texture listed after the scene",
         [&] { show("[textures]\nbg.jpg\n\n[scenes]\nscene.scn\n\n[textures]\nlate.png\n\n"); }},
        {"unknown header", [&] { show("[prat]\n" + script + "[credits]\nme\n"); }},
        {"missing soundtrack", [&] { show(script); fs::remove(dir / "data" / "music.mp3"); }},
        {"scene and pictures listed twice, one missing",
         [&] { show("[textures]\nbg.jpg\ngone.png\nbg.jpg\ngone.png\n\n[scenes]\nscene.scn\ncut.scn\nscene.scn\n\n");
               write("data/cut.scn", writeScene(cameraScene()).substr(0, 60)); }},
        {"scene that is a FIFO",
         [&] { show(script); fs::remove(dir / "data" / "scene.scn");
               ASSERT_EQ(mkfifo((dir / "data" / "scene.scn").c_str(), 0644), 0); }},
        {"pictures refused and over the texture memory",
         [&] { show("[textures]\nhuge.png\nscans.jpg\nbg.jpg\nbg.jpg.png\nlate.png\n\n");
               copyShared("jpeg/testorig.jpg", "data/loading.jpg");
               write("data/huge.png", bombs::pngDeclaring(16384, 16384));
               write("data/scans.jpg", bombs::progressiveWithExtraScans(64, 1100));
               copyShared("png/basn6a08.png", "data/bg.jpg.png");
               memory = 250000; }},
        {"cameras that draw black and nodes passed over",
         [&] { DamagedScene scene;
               scene.mesh().faces.push_back({{{0, 0, 0}, {7, 0, 0}, {2, 0, 0}}});
               scene.spec.nodes.push_back(makeNode(NodeType::Camera, "lonely", {0, -10, 0}));
               NodeSpec zero = makeNode(NodeType::Camera, "zero", {0, -10, 0});
               zero.fov.keys.push_back({10, 0.0f});
               scene.spec.nodes.push_back(zero);
               scene.spec.nodes.push_back(makeNode(NodeType::Target, "zero"));
               show("[scenes]\ncams.scn\n\n[part]\ncams.scn\n100\nlonely\nstandard\nstandard\n"
                    "[part]\ncams.scn\n200\nzero\nstandard\nstandard\n[part]\ncams.scn\n300\nhul\nstandard\nstandard\n"
                    "[part]\ncams.scn\n400\nlonely\nstandard\nstandard\n");
               ASSERT_TRUE(saveScene(scene.spec, (dir / "data" / "cams.scn").string())); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const std::vector<std::string> read = lines(check(memory));
        EXPECT_EQ(lines(CheckDemoFolder(showFolder(), loadShow(memory), memory)), read);
        EXPECT_EQ(read.empty(), std::string(c.name) == "clean");
        memory = DefaultTextureMemory;
    }
}

TEST_F(CheckFolder, TheStartUpCheckReportsWhatLoadingFoundWithoutReadingTheFilesAgain)
{
    GlTestContext gl(64, 36);
    REQUIRE_GL(gl);
    write("data/bg.jpg", "not a picture");
    write("data/loading.jpg", "not a picture");
    write("data/scene.scn", writeScene(cameraScene()).substr(0, 40));
    write("script.txt", "[textures]\nbg.jpg\n\n[scenes]\nscene.scn\n\n");
    const LoadReport loaded = loadShow();
    const std::vector<std::string> before = lines(check());
    ASSERT_EQ(before.size(), 3u);

    // Mended after loading: the show holds what it loaded, and so does the check.
    copyShared("jpeg/testorig.jpg", "data/fixed.jpg");
    fs::rename(dir / "data" / "fixed.jpg", dir / "data" / "bg.jpg");
    fs::remove(dir / "data" / "loading.jpg");
    ASSERT_TRUE(saveScene(cameraScene(), (dir / "data" / "scene.scn").string()));
    EXPECT_NE(lines(check()), before);
    EXPECT_EQ(lines(CheckDemoFolder(showFolder(), loaded)), before);
}

TEST_F(CheckFolder, RecordingACamerasFaultsLeavesItsTracksWhereLoadingLeftThem)
{
    // Finding the faults evaluates the tracks up to their last key; the show's first frame
    // must still search them from where loading left them.
    DamagedScene spec;
    NodeSpec meeting = makeNode(NodeType::Camera, "meeting", {0, -10, 0});
    meeting.position.keys.push_back({30, {0, 0, 0}});
    meeting.fov.keys.push_back({40, 0.0f});
    spec.spec.nodes.push_back(meeting);
    NodeSpec target = makeNode(NodeType::Target, "meeting");
    target.position.keys.push_back({30, {0, 0, 0}});
    target.position.keys.push_back({50, {0, 5, 0}});
    spec.spec.nodes.push_back(target);
    ASSERT_TRUE(saveScene(spec.spec, (dir / "data" / "cams.scn").string()));
    const DataFolder folder = showFolder();
    Scene scene;
    ASSERT_EQ(scene.loadFile("data/cams.scn", TextureLookup(), folder), 0);
    auto& camera = static_cast<CameraNode&>(*scene.findNodeByName("meeting"));
    ASSERT_EQ(camera.kind, NodeKind::Camera);
    ASSERT_NE(camera.target, nullptr);

    const SceneRead read = ReadOfScene(folder, "cams.scn", &scene);
    EXPECT_TRUE(read.nodes.at(1).faults.targetAtEye);
    EXPECT_TRUE(read.nodes.at(1).faults.fieldOfViewUnusable);
    EXPECT_EQ(camera.positionTrack.cursor, 0);
    EXPECT_EQ(camera.fovTrack.cursor, 0);
    EXPECT_EQ(camera.target->positionTrack.cursor, 0);
}
