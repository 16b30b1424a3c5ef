// The scene files of the show the build wrote, as the player loads them: complete, using
// every feature of the format between them, and built the way playback needs them.
#include "demo/script_parser.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "graph/spot_node.h"
#include "graph/transform_node.h"
#include "scene/scene.h"
#include "show_script.h"
#include "show_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string dataDir = TALDREX_BINARY_DIR "/show/data/";

// Visits every node below root in pre-order (the order of the player's passes).
void eachNode(Node& root, const std::function<void(Node&)>& visit)
{
    for (auto& child : root.children) {
        visit(*child);
        eachNode(*child, visit);
    }
}

std::vector<MeshNode*> meshesOf(Scene& scene)
{
    std::vector<MeshNode*> meshes;
    eachNode(scene, [&](Node& node) {
        if (node.kind == NodeKind::Mesh)
            meshes.push_back(static_cast<MeshNode*>(&node));
    });
    return meshes;
}

// Number of ancestors of node that are transform nodes turning over time.
int turningAncestors(const Node& node)
{
    int count = 0;
    for (const Node* up = node.parent; up; up = up->parent) {
        if (up->kind == NodeKind::Transform && static_cast<const TransformNode*>(up)->rotationTrack.keys.size() > 1)
            ++count;
    }
    return count;
}

class ShowScenes : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const char* name : show::SceneFiles) {
            auto scene = std::make_unique<Scene>();
            loadResults[name] = scene->loadFile((dataDir + name).c_str());
            scenes[name] = std::move(scene);
        }
    }
    static void TearDownTestSuite() { scenes.clear(); }

    static std::map<std::string, std::unique_ptr<Scene>> scenes;
    static std::map<std::string, int> loadResults;
};

std::map<std::string, std::unique_ptr<Scene>> ShowScenes::scenes;
std::map<std::string, int> ShowScenes::loadResults;

} // namespace

TEST_F(ShowScenes, EveryFileReadsToItsLastByte)
{
    for (auto& [name, scene] : scenes) {
        ASSERT_EQ(loadResults[name], 0) << name;
        ASSERT_TRUE(scene->reader) << name;
        EXPECT_FALSE(scene->reader->failed()) << name << " stops at byte " << scene->reader->failedOffset();
        EXPECT_EQ(scene->reader->offset(), std::filesystem::file_size(dataDir + name)) << name;
        EXPECT_GT(scene->materials.size(), 0) << name;
        EXPECT_NE(scene->camera, nullptr) << name;
    }
}

TEST_F(ShowScenes, BetweenThemTheyUseEveryFeatureOfTheFormat)
{
    std::map<NodeKind, int> kinds;
    std::set<int32_t> renderModes;
    bool translucent = false, morphing = false, poppingOnBeats = false, orbiting = false;
    bool zooming = false, rolling = false, sharedName = false, spotLinked = false, movingLight = false;
    int mostLights = 0;
    for (auto& [name, scene] : scenes) {
        mostLights = std::max(mostLights, int(scene->lightCount));
        for (auto& material : scene->materials) {
            renderModes.insert(material->drawnKind());
            translucent |= material->alpha() < 1.0f;
        }
        eachNode(*scene, [&](Node& node) {
            ++kinds[node.kind];
            const auto& toggles = node.visibilityTrack.keys;
            if (node.kind == NodeKind::Mesh && toggles.size() >= 2) {
                poppingOnBeats = true;
                for (const auto& key : toggles)
                    EXPECT_EQ(key->frame % show::FramesPerBeat, 0) << name << ": " << node.name;
            }
            if (node.kind == NodeKind::Mesh) {
                auto& mesh = static_cast<MeshNode&>(node);
                morphing |= mesh.morphs() && mesh.morphTrack.keys.size() >= 3;
                orbiting |= turningAncestors(node) >= 2;
            }
            if (node.kind == NodeKind::Camera) {
                auto& camera = static_cast<CameraNode&>(node);
                zooming |= camera.fovTrack.keys.size() > 1;
                rolling |= camera.rollTrack.keys.size() > 1;
                sharedName |= camera.target && camera.target->name == camera.name;
            }
            if (node.kind == NodeKind::Spot)
                spotLinked |= static_cast<SpotNode&>(node).target != nullptr;
            if (node.kind == NodeKind::Light)
                movingLight |= node.positionTrack.keys.size() > 1;
        });
    }
    for (NodeKind kind : {NodeKind::Mesh, NodeKind::Camera, NodeKind::Target, NodeKind::Spot, NodeKind::Light,
                          NodeKind::Transform})
        EXPECT_GT(kinds[kind], 0) << "no node of kind " << int(kind);
    EXPECT_EQ(renderModes, (std::set<int32_t>{1, 8, 16, 24}));
    EXPECT_TRUE(translucent) << "no additive surface";
    EXPECT_TRUE(morphing) << "no mesh morphing through three shapes or more";
    EXPECT_TRUE(poppingOnBeats) << "no mesh shown by its visibility track";
    EXPECT_TRUE(orbiting) << "no mesh carried round by two turning transforms";
    EXPECT_TRUE(zooming) << "no camera with an animated field of view";
    EXPECT_TRUE(rolling) << "no camera with an animated roll";
    EXPECT_TRUE(sharedName) << "no camera sharing its name with its target";
    EXPECT_TRUE(spotLinked) << "no spot node with a target";
    EXPECT_TRUE(movingLight) << "no light that moves";
    EXPECT_GE(mostLights, 2) << "no scene with two lights";
}

TEST_F(ShowScenes, EachPartsCameraNameFindsACameraWithATarget)
{
    for (const show::ShowPart& part : show::Parts) {
        Node* found = scenes.at(part.scene)->findNodeByName(part.camera);
        ASSERT_NE(found, nullptr) << part.scene << ": " << part.camera;
        ASSERT_EQ(found->kind, NodeKind::Camera) << part.scene << ": " << part.camera << " finds " << found->name;
        EXPECT_NE(static_cast<CameraNode*>(found)->target, nullptr) << part.camera;
    }
}

TEST_F(ShowScenes, MaterialMapsNameTexturesTheScriptLoads)
{
    std::set<std::string> textures;
    for (const PlanEntry& entry : ParseScript(scriptText()).entries)
        if (entry.kind == EntryKind::Texture)
            textures.insert(entry.key);
    for (auto& [name, scene] : scenes) {
        for (auto& material : scene->materials) {
            for (const MaterialMap& map : material->maps) {
                if (map.present()) {
                    EXPECT_EQ(textures.count(map.textureName()), 1u) << name << ": " << map.mapFile;
                }
            }
        }
    }
}

// Once a sphere-mapped surface is drawn the player culls the other way round, and the
// show's surfaces are wound for that: each scene must draw one before anything else.
TEST_F(ShowScenes, EveryFrameDrawsASphereMappedSurfaceFirst)
{
    for (auto& [name, scene] : scenes) {
        std::vector<MeshNode*> meshes = meshesOf(*scene);
        auto first = std::find_if(meshes.begin(), meshes.end(), [](MeshNode* mesh) {
            return mesh->faceGroups.size() > 0 && mesh->faceGroups[0]->faces.size() > 0;
        });
        ASSERT_NE(first, meshes.end()) << name;
        MeshNode& mesh = **first;
        EXPECT_FALSE(mesh.transparent) << name << ": " << mesh.name;
        EXPECT_LT(mesh.visibilityTrack.keys.size(), 2) << name << ": " << mesh.name << " is not always shown";
        ASSERT_NE(mesh.faceGroups[0]->material, nullptr) << name;
        EXPECT_EQ(mesh.faceGroups[0]->material->drawnKind(), Material::environmentKind) << name << ": " << mesh.name;
    }
}

// The overlay is drawn in the colour the scene leaves behind: opaque white, left by a
// white-line group drawn after every translucent one.
TEST_F(ShowScenes, EveryFrameEndsInOpaqueWhite)
{
    for (auto& [name, scene] : scenes) {
        std::vector<MeshNode*> meshes = meshesOf(*scene);
        std::vector<MeshNode*> translucent;
        std::copy_if(meshes.begin(), meshes.end(), std::back_inserter(translucent),
                     [](MeshNode* mesh) { return mesh->transparent; });
        ASSERT_FALSE(translucent.empty()) << name;
        MeshNode& last = *translucent.back();
        EXPECT_LT(last.visibilityTrack.keys.size(), 2) << name << ": " << last.name << " is not always shown";
        const FaceGroup& group = *last.faceGroups[last.faceGroups.size() - 1];
        ASSERT_NE(group.material, nullptr) << name;
        EXPECT_EQ(group.material->drawnKind(), Material::plainKind) << name << ": " << last.name;
    }
}

// A track is extrapolated before its first key, which would fling things about.
TEST_F(ShowScenes, AnimatedTracksStartByFrameZero)
{
    for (auto& [name, scene] : scenes) {
        eachNode(*scene, [&](Node& node) {
            auto check = [&](const auto& keys, const char* track) {
                if (keys.size() > 1) {
                    EXPECT_LE(keys[0]->frame, 0) << name << ": " << node.name << " " << track;
                }
            };
            check(node.positionTrack.keys, "position");
            if (node.kind == NodeKind::Mesh) {
                auto& mesh = static_cast<MeshNode&>(node);
                check(mesh.rotationTrack.keys, "rotation");
                check(mesh.scaleTrack.keys, "scale");
                if (mesh.morphTrack.keys.size() > 1) {
                    EXPECT_LE(mesh.morphTrack.keys[0].frame, 0) << name << ": " << node.name << " morph";
                }
            }
            if (node.kind == NodeKind::Transform) {
                check(static_cast<TransformNode&>(node).rotationTrack.keys, "rotation");
                check(static_cast<TransformNode&>(node).scaleTrack.keys, "scale");
            }
            if (node.kind == NodeKind::Camera) {
                check(static_cast<CameraNode&>(node).fovTrack.keys, "fov");
                check(static_cast<CameraNode&>(node).rollTrack.keys, "roll");
            }
        });
    }
}

// Where the drawn vertices of every mesh stand in the world, and every light's matrix.
struct Picture {
    std::vector<Vector3> points;
    std::vector<Matrix4> lights;
};

Matrix4 product(const Matrix4& a, const Matrix4& b)
{
    Matrix4 m;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            m[column * 4 + row] = sum;
        }
    return m;
}

void takePicture(Node& node, const Matrix4& parent, Picture& picture)
{
    for (auto& child : node.children) {
        Matrix4 world = product(parent, child->matrix);
        if (child->kind == NodeKind::Mesh) {
            const auto& mesh = static_cast<const MeshNode&>(*child);
            for (int i = 0; i < mesh.vertices.size(); ++i) {
                const Vector3& v = mesh.vertices[i];
                picture.points.push_back({world[0] * v.x + world[4] * v.y + world[8] * v.z + world[12],
                                          world[1] * v.x + world[5] * v.y + world[9] * v.z + world[13],
                                          world[2] * v.x + world[6] * v.y + world[10] * v.z + world[14]});
            }
        }
        if (child->kind == NodeKind::Light)
            picture.lights.push_back(world);
        takePicture(*child, world, picture);
    }
}

// The largest distance from a point of a to the nearest point of b.
float farthestMiss(const std::vector<Vector3>& a, const std::vector<Vector3>& b)
{
    float worst = 0.0f;
    for (const Vector3& p : a) {
        float nearest = 1e9f;
        for (const Vector3& q : b) {
            Vector3 d = p - q;
            nearest = std::min(nearest, dot(d, d));
            if (nearest < 1e-6f)
                break;
        }
        worst = std::max(worst, std::sqrt(nearest));
    }
    return worst;
}

// Parts that share a scene restart it on their bar line; over its shortest part it must
// come back to the picture it started from (things may trade places with their likes).
TEST_F(ShowScenes, SharedScenesLoopOverTheirShortestPart)
{
    std::map<std::string, int> partBars;
    std::map<std::string, int> uses;
    for (const show::ShowPart& part : show::Parts) {
        int bars = part.endBar - part.firstBar;
        partBars[part.scene] = partBars.count(part.scene) ? std::min(partBars[part.scene], bars) : bars;
        ++uses[part.scene];
    }
    for (auto& [name, count] : uses) {
        if (count < 2)
            continue;
        Scene& scene = *scenes.at(name);
        Picture start;
        Picture looped;
        scene.evaluateNodes(0.0f);
        takePicture(scene, Matrix4::identity(), start);
        scene.evaluateNodes(float(partBars[name] * show::FramesPerBar));
        takePicture(scene, Matrix4::identity(), looped);
        ASSERT_EQ(start.points.size(), looped.points.size()) << name;
        EXPECT_LT(farthestMiss(start.points, looped.points), 1e-2f) << name;
        EXPECT_LT(farthestMiss(looped.points, start.points), 1e-2f) << name;
        ASSERT_EQ(start.lights.size(), looped.lights.size()) << name;
        for (size_t i = 0; i < start.lights.size(); ++i)
            for (int e = 12; e < 15; ++e)
                EXPECT_NEAR(looped.lights[i][e], start.lights[i][e], 1e-2f) << name << ": light " << i;
    }
}
