// The worked example of docs/making-a-show.md: its hex dump is the scene writer's file for
// the scene it describes, byte for byte, and the player reads that file as the guide says.
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The bytes of the first xxd -g4 dump in text: lines "OFFSET: w w w w  ascii".
std::string dumpedBytes(const std::string& text)
{
    std::string bytes;
    std::istringstream lines(text.substr(text.find("\n00000000: ") + 1));
    std::string line;
    while (std::getline(lines, line) && line.rfind("```", 0) != 0) {
        const std::string words = line.substr(10, 36);
        for (size_t i = 0; i + 1 < words.size(); ++i) {
            if (words[i] == ' ')
                continue;
            bytes += static_cast<char>(std::stoi(words.substr(i, 2), nullptr, 16));
            ++i;
        }
    }
    return bytes;
}

} // namespace

TEST(GuideExample, TheHexDumpIsTheWrittenSceneAndReadsAsDescribed)
{
    std::ifstream guide(std::string(TALDREX_SOURCE_DIR) + "/docs/making-a-show.md");
    ASSERT_TRUE(guide);
    std::stringstream text;
    text << guide.rdbuf();
    const std::string dumped = dumpedBytes(text.str());

    SceneSpec spec;
    NodeSpec tri = makeNode(NodeType::Mesh, "Tri", {0, 0, 1});
    tri.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.faces = {{{{0, 0, 0}, {1, 1, 0}, {2, 0, 1}}}};
    tri.groups = {{0, {0}}};
    spec.nodes.push_back(tri);
    MaterialSpec skin;
    skin.name = "Skin";
    skin.maps[1] = {1.0f, "skin.png"};
    spec.materials.push_back(skin);
    const std::string written = writeScene(spec);
    EXPECT_EQ(written.size(), 344u);
    EXPECT_EQ(dumped, written);

    Scene scene;
    scene.loadMemory(written.data(), written.size());
    EXPECT_FALSE(scene.reader->failed());
    ASSERT_EQ(scene.children.size(), 1);
    EXPECT_EQ(scene.children[0]->name, "tri");
    ASSERT_EQ(scene.materials.size(), 1);
    EXPECT_EQ(scene.materials[0]->renderModeKind(), 8);
    EXPECT_EQ(scene.materials[0]->maps[1].textureName(), "skin.png");
}
