#include "demo/load_report.h"

#include "demo/script_parser.h"
#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"
#include "image/texture.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "scene/view_volume.h"

#include <cmath>
#include <memory>
#include <utility>

namespace {

std::string showPathOf(const std::string& key) { return "data\\" + key; }

void fillPicture(PictureRead& read, bool decoded, bool complete, const std::string& refusal)
{
    read.decoded = decoded;
    read.complete = complete;
    read.refusal = refusal;
}

// Whether the camera, looking at frame 0 and at each of its keys, never sees a vertex of a
// scene that has some. A frame it cannot look at (no target, or a field of view of 0, not
// a number or infinite) is left to its other faults.
bool seesNothing(Scene& scene, CameraNode& camera)
{
    bool looked = false, anyVertex = false;
    for (int32_t frame : CameraCheckFrames(camera)) {
        CameraLook look;
        const float time = static_cast<float>(frame);
        if (!camera.viewAt(time, look) || !(look.fieldOfViewDegrees > 0.0) || !std::isfinite(look.fieldOfViewDegrees))
            continue;
        looked = true;
        if (SeesAnyVertex(scene, look, time, anyVertex) || !anyVertex)
            return false;
    }
    return looked;
}

// Finds the camera's faults; the camera's tracks get their cursors back, so that the show's
// first frame searches its keys from where loading left them.
CameraFaults faultsOf(Scene& scene, CameraNode& camera)
{
    const int32_t position = camera.positionTrack.cursor;
    const int32_t fieldOfView = camera.fovTrack.cursor;
    const int32_t roll = camera.rollTrack.cursor;
    const int32_t target = camera.target ? camera.target->positionTrack.cursor : 0;
    CameraFaults faults = FindCameraFaults(camera);
    faults.seesNothing = seesNothing(scene, camera);
    camera.positionTrack.cursor = position;
    camera.fovTrack.cursor = fieldOfView;
    camera.rollTrack.cursor = roll;
    if (camera.target)
        camera.target->positionTrack.cursor = target;
    return faults;
}

// The nodes under node, in pre-order.
void readNodes(Scene& scene, Node& node, std::vector<NodeRead>& nodes)
{
    for (const std::unique_ptr<Node>& child : node.children) {
        NodeRead read;
        read.name = child->name;
        read.kind = child->kind;
        if (child->kind == NodeKind::Camera)
            read.faults = faultsOf(scene, static_cast<CameraNode&>(*child));
        nodes.push_back(std::move(read));
        readNodes(scene, *child, nodes);
    }
}

// The record of the scene read from file (null when it did not open).
SceneRead sceneRead(const std::string& key, OpenedFile file, Scene* scene)
{
    SceneRead read;
    read.key = key;
    read.file = std::move(file);
    if (!read.file.opened || !scene || !scene->reader)
        return read;
    const SceneReader& reader = *scene->reader;
    read.failed = reader.failed();
    read.failedOffset = reader.failedOffset();
    read.notes = reader.notes();
    read.noteCount = reader.noteCount();
    readNodes(*scene, *scene, read.nodes);
    for (const std::unique_ptr<Material>& material : scene->materials) {
        for (int slot : {Material::surfaceSlot, Material::environmentSlot}) {
            const MaterialMap& map = material->maps[slot];
            if (map.present())
                read.maps.push_back({material->name, map.mapFile, MapTextureKeys(map)});
        }
    }
    return read;
}

} // namespace

OpenedFile OpenedFileOf(const DataFolder& folder, const std::string& showPath, long long maxBytes)
{
    DataFile file = folder.openFile(showPath, maxBytes);
    OpenedFile opened;
    opened.path = std::move(file.path);
    opened.opened = static_cast<bool>(file);
    opened.error = file.error;
    opened.problem = std::move(file.problem);
    return opened;
}

PictureRead ReadOfPicture(const DataFolder& folder, const std::string& key, const TexturePicture& picture)
{
    PictureRead read;
    read.file = OpenedFileOf(folder, showPathOf(key), ImageFileLimit);
    fillPicture(read, !picture.texels.empty(), picture.complete, picture.refusal);
    return read;
}

PictureRead ReadTexture(const DataFolder& folder, const std::string& key, ImageBudget& budget)
{
    PictureRead read;
    read.file = OpenedFileOf(folder, showPathOf(key), ImageFileLimit);
    if (!read.file.opened)
        return read;
    const TexturePictures pictures = PicturesOf(key);
    // A line naming both kinds reads both pictures, as the show does, and keeps the PNG.
    // What each picture held while it loaded is given back after it, as the show gives
    // it back once the texture is built.
    if (pictures.jpeg && pictures.png)
        budget.endLoading(DecodeJpeg(read.file.path, &budget, folder).cost);
    const DecodedImage image = pictures.png ? DecodePng(read.file.path, &budget, folder)
                                            : DecodeJpeg(read.file.path, &budget, folder);
    budget.endLoading(image.cost);
    fillPicture(read, !image.empty(), image.complete, image.refusal);
    return read;
}

SceneRead ReadOfScene(const DataFolder& folder, const std::string& key, Scene* scene)
{
    return sceneRead(key, OpenedFileOf(folder, showPathOf(key), SceneFileLimit), scene);
}

SceneRead ReadScene(const DataFolder& folder, const std::string& key)
{
    OpenedFile file = OpenedFileOf(folder, showPathOf(key), SceneFileLimit);
    if (!file.opened)
        return sceneRead(key, std::move(file), nullptr);
    Scene scene;
    scene.loadFile(file.path.c_str(), TextureLookup(), folder);
    return sceneRead(key, std::move(file), &scene);
}
