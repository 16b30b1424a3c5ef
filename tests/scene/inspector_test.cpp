// taldrex-scene dump, run as authors run it, on a written, a truncated and a missing file.
#include "scene_writer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct DumpResult {
    int status = -1;
    std::string output;
};

// Runs taldrex-scene with arguments (already quoted where needed), standard error included.
DumpResult run(const std::string& arguments)
{
    std::string command = std::string(TALDREX_BINARY_DIR) + "/tools/taldrex-scene/taldrex-scene " + arguments +
                          " 2>&1";
    DumpResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

DumpResult dump(const std::string& file)
{
    return run("dump '" + file + "'");
}

SceneSpec sampleScene()
{
    SceneSpec spec;
    spec.headerA = 3;
    spec.headerB = 4;
    NodeSpec mesh = makeNode(NodeType::Mesh, "Body");
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {{{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}}};
    mesh.groups = {{0, {0}}};
    mesh.position.keys.push_back({30, {1, 1, 1}});
    mesh.morph.keys = {{0, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {12, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}}};
    spec.nodes.push_back(mesh);
    NodeSpec camera = makeNode(NodeType::Camera, "Cam");
    camera.add(makeNode(NodeType::Target, "Cam"));
    spec.nodes.push_back(camera);
    MaterialSpec skin;
    skin.name = "Skin";
    skin.maps[1] = {0.5f, "Maps\\Skin.BMP"};
    spec.materials.push_back(skin);
    return spec;
}

} // namespace

TEST(Inspector, DumpShowsTreeTracksMeshAndMaterials)
{
    std::string path = testing::TempDir() + "taldrex-inspect.scn";
    ASSERT_TRUE(saveScene(sampleScene(), path));
    DumpResult run = dump(path);
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string& out = run.output;
    for (const char* line :
         {"header 3 4\n", "nodes 2 at top level, lights 0, camera \"cam\"\n",
          "  mesh \"body\" (transparent)\n", "    position: 2 keys at 0 30\n",
          "    vertices 3, faces 1, groups 1\n", "      group 0: material 0 \"Skin\", faces 1\n",
          "    morph: 2 keys at 0 12\n", "  camera \"cam\" (no target)\n", "    roll: 1 key at 0\n",
          "    target \"cam\"\n", "materials 1\n",
          "  material 0 \"Skin\": render mode kind 8, alpha 0.5\n",
          "    map 1: \"Maps\\Skin.BMP\" amount 0.5 (texture skin.jpg, else skin.png)\n"})
        EXPECT_NE(out.find(line), std::string::npos) << "missing: " << line << "in:\n" << out;
    EXPECT_EQ(out.find("damaged"), std::string::npos);
    std::remove(path.c_str());
}

TEST(Inspector, DumpOfATruncatedFileSaysWhereReadingStopped)
{
    std::string bytes = writeScene(sampleScene());
    std::string path = testing::TempDir() + "taldrex-inspect-cut.scn";
    std::ofstream(path, std::ios::binary).write(bytes.data(), 100);
    DumpResult run = dump(path);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("mesh \"body\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("damaged: reading stopped at byte "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(" of 100 in "), std::string::npos) << run.output;
    std::remove(path.c_str());

    DumpResult missing = dump(testing::TempDir() + "taldrex-no-such.scn");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot open the file"), std::string::npos) << missing.output;
}

TEST(Inspector, NamesFromTheFileAreEscapedBeforeTheyReachTheTerminal)
{
    SceneSpec spec;
    spec.nodes.push_back(makeNode(NodeType::Transform, "\x1b]0;owned\x07\x1b[2J"));
    MaterialSpec material;
    material.name = "m\xff";
    spec.materials.push_back(material);
    std::string path = testing::TempDir() + "taldrex-inspect-escape.scn";
    ASSERT_TRUE(saveScene(spec, path));
    DumpResult run = dump(path);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos);
    EXPECT_NE(run.output.find("transform \"\\x1b]0;owned\\x07\\x1b[2j\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("material 0 \"m\\xff\""), std::string::npos) << run.output;
    std::remove(path.c_str());
}

TEST(Inspector, UsageAndMisuseExitWithStatusTwo)
{
    DumpResult none = run("");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.output.find("Usage: taldrex-scene"), std::string::npos) << none.output;
    EXPECT_NE(none.output.find("dump"), std::string::npos) << none.output;

    DumpResult unknown = run("frob");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("unknown command \"frob\""), std::string::npos) << unknown.output;

    DumpResult noFile = run("dump");
    EXPECT_EQ(noFile.status, 2);
    EXPECT_NE(noFile.output.find("SCENE is required"), std::string::npos) << noFile.output;

    DumpResult version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("taldrex-scene ", 0), 0u) << version.output;

    for (const char* command : {"dump", "export"}) {
        DumpResult help = run(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.output.find(std::string("Usage: taldrex-scene ") + command), std::string::npos)
            << help.output;
    }
}

TEST(Inspector, AFileWhoseFirstNodeTypeIsNoNodeKindIsNotASceneFile)
{
    std::string path = testing::TempDir() + "taldrex-inspect-png.scn";
    static const char pngStart[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR and more";
    const std::string png(pngStart, sizeof pngStart - 1);
    std::ofstream(path, std::ios::binary) << png;
    DumpResult run = dump(path);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("not a scene file"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("header "), std::string::npos) << run.output;

    // An empty node list is a scene file: -1 is the end marker.
    SceneSpec empty;
    ASSERT_TRUE(saveScene(empty, path));
    DumpResult read = dump(path);
    EXPECT_EQ(read.status, 0) << read.output;
    EXPECT_EQ(read.output.find("not a scene file"), std::string::npos) << read.output;
    std::remove(path.c_str());
}

TEST(Inspector, JsonForToolsHoldsTheTreeAndWhereReadingStopped)
{
    std::string path = testing::TempDir() + "taldrex-inspect-json.scn";
    ASSERT_TRUE(saveScene(sampleScene(), path));
    DumpResult whole = run("dump --json '" + path + "'");
    EXPECT_EQ(whole.status, 0) << whole.output;
    for (const char* part :
         {"\"sceneFile\":true,\"stoppedAt\":null,\"header\":[3,4]",
          "{\"kind\":\"mesh\",\"name\":\"body\",\"tracks\":{\"position\":[0,30]",
          "\"morph\":[0,12],\"morphIgnored\":false",
          "{\"kind\":\"camera\",\"name\":\"cam\",\"target\":null",
          "\"maps\":[{\"slot\":1,\"file\":\"Maps\\\\Skin.BMP\",\"amount\":0.5}]"})
        EXPECT_NE(whole.output.find(part), std::string::npos) << "missing: " << part << " in:\n" << whole.output;

    std::string bytes = writeScene(sampleScene());
    std::ofstream(path, std::ios::binary).write(bytes.data(), 100);
    DumpResult cut = run("dump --json '" + path + "'");
    EXPECT_EQ(cut.status, 2);
    EXPECT_NE(cut.output.find("\"size\":100,"), std::string::npos) << cut.output;
    EXPECT_EQ(cut.output.find("\"stoppedAt\":null"), std::string::npos) << cut.output;
    std::remove(path.c_str());
}
