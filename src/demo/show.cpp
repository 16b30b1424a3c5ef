#include "demo/show.h"

#include "common/data_file.h"
#include "demo/load_report.h"
#include "demo/platform.h"
#include "demo/script_parser.h"
#include "demo/show_run.h"
#include "demo/timeline.h"
#include "gpu/renderer.h"
#include "graph/camera_node.h"
#include "image/screen_quad.h"
#include "image/texture.h"

#include <string_view>
#include <vector>

Show::Show(const DataFolder& folder, long long textureMemory) : TextureBudget(textureMemory), folder_(folder) {}

bool Show::LoadScript(Platform& platform, SoundStream*& stream, LoadReport* loaded)
{
    {
        // The loading picture's pixels go before the show's pictures are decoded.
        TexturePicture loading;
        platform.showLoadingPicture(folder_, TextureBudget, loaded ? &loading : nullptr);
        if (loaded)
            loaded->loadingPicture = ReadOfPicture(folder_, "Loading.jpg", loading);
    }

    std::vector<unsigned char> bytes;
    std::string problem;
    if (!folder_.readFile("script.txt", ScriptFileLimit, bytes, problem))
        return false;

    ShowPlan plan = ParseScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    carryOut(platform, plan, stream, loaded);
    uploadShow(plan, loaded);
    return true;
}

// Opens the soundtrack an "[mp3]" entry names into stream; the last one listed is the one
// that plays.
void Show::openSoundtrack(Platform& platform, const std::string& key, SoundStream*& stream)
{
    // A stream opened for an earlier entry would never play: it is closed, not left open.
    if (stream) {
        platform.closeMusic(stream);
        stream = nullptr;
    }
    SoundtrackPath = dataPath(key);
    // After a failed open the platform keeps the show silent for the rest of the run.
    stream = platform.openMusic(SoundtrackPath, folder_);
}

// Registers a texture line's entry, for the scenes listed after it to find; its texture is
// made by uploadShow. A line listed again names the same file: the entry made first stays.
void Show::registerTexture(const PlanEntry& entry)
{
    if (!entry.firstListing || !PicturesOf(entry.key).any())
        return;
    TextureRegistry.store(entry.key, TextureHandle());
}

void Show::loadScene(const PlanEntry& entry, LoadReport* loaded)
{
    // Registered whatever the loader made of what it read. A file that cannot be opened
    // leaves the name without a scene, which draws as an empty one would, so a script
    // listing many missing files holds no scene object for each. The scene a listing again
    // replaces is freed, its display lists with it.
    auto scene = std::make_unique<Scene>();
    const bool opened =
        scene->loadFile(dataPath(entry.key).c_str(), RegistryTextureLookup(TextureRegistry), folder_) == 0;
    if (loaded)
        loaded->scenes[entry.line] = ReadOfScene(folder_, entry.key, scene.get());
    if (!opened) {
        SceneRegistry.remove(entry.key);
        return;
    }
    SceneRegistry.store(entry.key, std::move(scene));
}

// Carries out what the plan names, in file order, then appends its parts to the timeline.
void Show::carryOut(Platform& platform, ShowPlan& plan, SoundStream*& stream, LoadReport* loaded)
{
    for (const PlanEntry& entry : plan.entries) {
        if (entry.kind == EntryKind::Soundtrack)
            openSoundtrack(platform, entry.key, stream);
        else if (entry.kind == EntryKind::Texture)
            registerTexture(entry);
        else
            loadScene(entry, loaded);
    }
    // The plan's parts become the timeline without a copy, so that a long script is held once.
    if (Timeline.empty()) {
        Timeline = std::move(plan.parts);
        return;
    }
    const int first = Timeline.size();
    Timeline.setSize(first + plan.parts.size());
    for (int i = 0; i < plan.parts.size(); ++i)
        Timeline[first + i] = std::move(plan.parts[i]);
}

// Makes the plan's textures in the order they were listed, one picture read at a time,
// then the scenes' display lists, in the current context.
void Show::uploadShow(const ShowPlan& plan, LoadReport* loaded)
{
    for (const PlanEntry& entry : plan.entries) {
        if (entry.kind != EntryKind::Texture || !entry.firstListing)
            continue;
        const TexturePictures pictures = PicturesOf(entry.key);
        if (!pictures.any())
            continue;
        // A line naming both kinds reads both pictures and keeps the PNG.
        // A picture's texture keeps its levels taken from the budget; what it held while
        // it loaded is given back once the texture is built.
        TexturePicture picture;
        if (pictures.jpeg)
            picture = DecodeJpegTexture(dataPath(entry.key), TextureBudget, folder_);
        if (pictures.png) {
            TextureBudget.endLoading(picture.cost);
            picture = TexturePicture(); // the JPEG's texels go before the PNG is read
            picture = DecodePngTexture(dataPath(entry.key), TextureBudget, folder_);
        }
        if (loaded)
            loaded->textures[entry.key] = ReadOfPicture(folder_, entry.key, picture);
        // Stored into the entry the scenes found, so that they read the new name from it.
        TextureRegistry.store(entry.key, TextureHandle(CreateTexture(picture, true)));
        TextureBudget.endLoading(picture.cost);
    }
    for (auto& named : SceneRegistry)
        named.second->upload();
}

void SelectCamera(Scene& scene, const std::string& cameraName)
{
    Node* found = scene.findNodeByName(cameraName);
    if (found && found->kind == NodeKind::Camera)
        scene.camera = static_cast<CameraNode*>(found);
}

void ClearFrame()
{
    Renderer& r = ActiveRenderer();
    r.clearColor(0, 0, 0, 1);
    r.clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Show::DrawPart(const TimelineEntry& part, float partTime, int width, int height)
{
    Renderer& r = ActiveRenderer();
    ClearFrame();
    std::unique_ptr<Scene>* scene = SceneRegistry.find(part.sceneName);

    const float halfWidth = width * 0.5f;
    const float halfHeight = height * 0.5f;
    if (part.backgroundName != "standard") {
        // A name the script never listed draws nothing in the background's place.
        if (const TextureHandle* texture = TextureRegistry.find(part.backgroundName)) {
            PushScreenProjection(width, height);
            DrawBackgroundQuad(halfWidth, halfHeight, halfWidth, halfHeight, 1.0f, texture->get());
            PopScreenProjection();
        }
        r.clear(GL_DEPTH_BUFFER_BIT);
    }

    if (scene) {
        SelectCamera(**scene, part.cameraName);
        (*scene)->renderFrame(partTime);
    }

    if (part.overlayName != "standard") {
        r.clear(GL_DEPTH_BUFFER_BIT);
        if (const TextureHandle* texture = TextureRegistry.find(part.overlayName)) {
            PushScreenProjection(width, height);
            DrawOverlayQuad(halfWidth, halfHeight, halfWidth, halfHeight, texture->get());
            PopScreenProjection();
        }
    }
}

void Show::EvaluatePart(const TimelineEntry& part, float partTime)
{
    std::unique_ptr<Scene>* scene = SceneRegistry.find(part.sceneName);
    if (!scene)
        return;
    SelectCamera(**scene, part.cameraName);
    (*scene)->evaluateNodes(partTime);
}

void Show::RunTimeline(Platform& platform, int loop, SoundStream* stream, Screenshots* shots)
{
    ShowRun run(*this, platform, stream, loop != 0, shots);
    if (!run.start())
        return;
    while (run.frame()) {
    }
}
