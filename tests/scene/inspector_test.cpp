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

DumpResult dump(const std::string& file)
{
    std::string command = std::string(TALDREX_BINARY_DIR) + "/tools/taldrex-scene/taldrex-scene dump '" +
                          file + "' 2>&1";
    DumpResult run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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
