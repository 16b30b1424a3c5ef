// A scene's pop-ins happen again on every pass: after the show loops, and when a later part
// shows the same scene again from part time 0.
#include "demo/playback.h"
#include "graph/mesh_node.h"
#include "scene/scene.h"
#include "scene_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A mesh that is hidden from frame 0 and pops in at frame 30 (one second of part time).
SceneSpec popInScene()
{
    SceneSpec scene;
    NodeSpec mesh = makeNode(NodeType::Mesh, "cube");
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {{{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}}};
    mesh.groups = {{0, {0}}};
    mesh.visibility = {0, 30};
    scene.nodes.push_back(mesh);
    scene.nodes.push_back(makeNode(NodeType::Camera, "cam"));
    return scene;
}

// A clock of 100 ms steps that plays the scene's parts as the window would, recording
// for every frame the part and whether the mesh is visible. Stops after maxFrames.
class SceneHost : public PlaybackHost {
public:
    explicit SceneHost(Scene& scene) : scene_(scene) {}

    int maxFrames = 0;
    struct Frame {
        std::string part;
        float partTime;
        bool visible;
    };
    std::vector<Frame> frames;

    int startClock() override { return clock_ = 0; }
    int readClock() override { return clock_ += 100; }
    void restartClock() override { clock_ = 0; }
    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        scene_.evaluateNodes(partTime);
        frames.push_back({part.sceneName, partTime, scene_.children[0]->visibilityTrack.visible});
    }
    bool escapeDown() override { return static_cast<int>(frames.size()) >= maxFrames; }

private:
    Scene& scene_;
    int clock_ = 0;
};

// The visibility of the frames of one part's pass, from the frame at part time 0 on.
std::vector<bool> pass(const std::vector<SceneHost::Frame>& frames, size_t first, size_t count)
{
    std::vector<bool> seen;
    for (size_t i = first; i < first + count && i < frames.size(); ++i)
        seen.push_back(frames[i].visible);
    return seen;
}

TimelineEntry part(const std::string& name, int endTime)
{
    TimelineEntry entry;
    entry.sceneName = name;
    entry.endTime = endTime;
    return entry;
}

} // namespace

TEST(ReplayedVisibility, TheSecondPassOfALoopShowsThePopInAgain)
{
    const std::string bytes = writeScene(popInScene());
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_FALSE(scene.reader->failed());

    TimelineArray timeline;
    timeline.append(part("a", 2000));
    SceneHost host(scene);
    host.maxFrames = 60;
    PlayTimeline(timeline, true, host);

    // 21 frames per pass (0 to 2000 ms in 100 ms steps, the part change after 2100).
    ASSERT_EQ(host.frames[21].partTime, 0.0f);
    const std::vector<bool> first = pass(host.frames, 0, 21);
    const std::vector<bool> second = pass(host.frames, 21, 21);
    EXPECT_FALSE(first.front());
    EXPECT_TRUE(first.back());
    EXPECT_EQ(second, first);
}

TEST(ReplayedVisibility, APartShowingTheSceneAgainShowsThePopInAgain)
{
    const std::string bytes = writeScene(popInScene());
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    ASSERT_FALSE(scene.reader->failed());

    TimelineArray timeline;
    timeline.append(part("first", 2000));
    timeline.append(part("again", 4000));
    SceneHost host(scene);
    host.maxFrames = 1000;
    PlayTimeline(timeline, false, host);

    ASSERT_EQ(host.frames[21].part, "again");
    const std::vector<bool> first = pass(host.frames, 0, 20);
    const std::vector<bool> again = pass(host.frames, 21, 20);
    EXPECT_FALSE(again.front());
    EXPECT_EQ(again, first);
}
