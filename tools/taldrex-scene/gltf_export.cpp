#include "gltf_export.h"

#include "exporter.h"

#include "graph/spot_node.h"
#include "graph/target_node.h"
#include "graph/transform_node.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>

namespace gltf_export {

void Exporter::build()
{
    model_.asset.version = "2.0";
    model_.asset.generator = "taldrex-scene export";
    model_.buffers.emplace_back();
    unlit_ = scene_.lightCount == 0;
    makeMaterials();
    tinygltf::Scene gltfScene;
    gltfScene.name = "scene";
    for (std::unique_ptr<Node>& child : scene_.children) {
        const int made = makeNode(*child, true);
        if (made >= 0)
            gltfScene.nodes.push_back(made);
    }
    for (const Exported& e : exported_)
        if (e.view >= 0)
            gltfScene.nodes.push_back(e.view);
    model_.scenes.push_back(gltfScene);
    model_.defaultScene = 0;
    sample();
    animate();
    noteLimits();
    summary_.nodes = static_cast<int>(model_.nodes.size());
    summary_.meshes = static_cast<int>(model_.meshes.size());
    summary_.cameras = static_cast<int>(model_.cameras.size());
    summary_.lights = static_cast<int>(model_.lights.size());
    summary_.images = static_cast<int>(model_.images.size());
}

void Exporter::noteLimits()
{
    if (!hideable_.empty()) {
        std::string names;
        for (size_t i = 0; i < hideable_.size() && i < 3; ++i)
            names += (i ? ", \"" : "\"") + hideable_[i] + "\"";
        if (hideable_.size() > 3)
            names += " and " + std::to_string(hideable_.size() - 3) + " more";
        summary_.notes.push_back("visibility: " + std::to_string(hideable_.size()) + " mesh" +
                                 (hideable_.size() == 1 ? "" : "es") + " (" + names +
                                 ") hide by a scale of 0 (STEP) on a child named NAME:shown, which holds the "
                                 "geometry; KHR_node_visibility is not written (the glTF library cannot)");
    }
    if (nonFinite_ > 0)
        summary_.notes.push_back(std::to_string(nonFinite_) + " values that are not finite numbers (the player "
                                 "draws nothing from them) are written as 0");
    if (lightsMet_ > 0)
        summary_.notes.push_back("lights: glTF point lights fade with distance and the viewer chooses their "
                                 "brightness; the player's lights do not fade");
    if (translucent_)
        summary_.notes.push_back("translucent materials blend over what is behind them in glTF; the player adds "
                                 "their colour to it");
    if (sphereMapped_)
        summary_.notes.push_back("sphere maps are kept only in the materials' extras (taldrex.sphereMap, which "
                                 "taldrex-scene import reads back)");
    if (sphereMapped_ && textured_)
        summary_.notes.push_back("textured surfaces drawn after a sphere-mapped one cull their front faces in "
                                 "the player; the glTF culls back faces throughout");
    if (options_.demoFolder.empty() && textured_)
        summary_.notes.push_back("no --demo folder: the textures are left out");
}

} // namespace gltf_export

namespace {

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

template <typename Keys>
void widenRange(const Keys& keys, int& last)
{
    for (const auto& key : keys)
        last = std::max(last, static_cast<int>(key->frame));
}

void lastKeyFrame(const Node& node, int& last)
{
    for (const std::unique_ptr<Node>& child : node.children) {
        const Node& n = *child;
        widenRange(n.positionTrack.keys, last);
        widenRange(n.visibilityTrack.keys, last);
        switch (n.kind) {
        case NodeKind::Mesh: {
            const auto& mesh = static_cast<const MeshNode&>(n);
            widenRange(mesh.rotationTrack.keys, last);
            widenRange(mesh.scaleTrack.keys, last);
            for (const MorphKey& key : mesh.morphTrack.keys)
                last = std::max(last, static_cast<int>(key.frame));
            break;
        }
        case NodeKind::Camera: {
            const auto& camera = static_cast<const CameraNode&>(n);
            widenRange(camera.rollTrack.keys, last);
            widenRange(camera.fovTrack.keys, last);
            break;
        }
        case NodeKind::Spot: {
            const auto& spot = static_cast<const SpotNode&>(n);
            widenRange(spot.firstTrack.keys, last);
            widenRange(spot.secondTrack.keys, last);
            break;
        }
        case NodeKind::Light: {
            const auto& light = static_cast<const LightNode&>(n);
            widenRange(light.rotationTrack.keys, last);
            widenRange(light.scaleTrack.keys, last);
            break;
        }
        case NodeKind::Transform: {
            const auto& transform = static_cast<const TransformNode&>(n);
            widenRange(transform.rotationTrack.keys, last);
            widenRange(transform.scaleTrack.keys, last);
            break;
        }
        case NodeKind::Scene:
        case NodeKind::Target:
            break;
        }
        lastKeyFrame(n, last);
    }
}

} // namespace

int LastKeyFrame(const Scene& scene)
{
    int last = 0;
    lastKeyFrame(scene, last);
    return last;
}

bool ExportGltf(Scene& scene, const std::string& path, const GltfExportOptions& options, GltfExportSummary& summary,
                std::string& error)
{
    const bool binary = endsWith(path, ".glb");
    if (!binary && !endsWith(path, ".gltf")) {
        error = path + ": the name must end in .glb or .gltf";
        return false;
    }
    if (options.fps < 1 || options.fps > 1000) {
        error = "--fps must be 1 to 1000";
        return false;
    }
    try {
        gltf_export::Exporter exporter(scene, options, summary, options.sceneFile);
        exporter.build();
        tinygltf::TinyGLTF writer;
        bool written;
        if (binary) {
            // The library's own binary file writer does not say when the file cannot be
            // made, so the stream is checked here.
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            written = out && writer.WriteGltfSceneToStream(&exporter.model(), out, false, true);
            out.close();
            written = written && out;
        } else {
            written = writer.WriteGltfSceneToFile(&exporter.model(), path, false, false, true, false);
        }
        if (!written) {
            std::remove(path.c_str());
            error = path + ": cannot be written";
            return false;
        }
    } catch (const std::exception& e) {
        // The library reports some failures by throwing; none crosses this edge.
        error = path + ": " + e.what();
        return false;
    }
    return true;
}
