#include "demo/show.h"

#include "app/delayed_clock.h"
#include "app/gl.h"
#include "app/shell_state.h"
#include "app/sound.h"
#include "app/viewport.h"
#include "app/window.h"
#include "common/data_file.h"
#include "common/file_path.h"
#include "demo/playback.h"
#include "demo/script_parser.h"
#include "demo/timeline.h"
#include "graph/camera_node.h"
#include "image/loading_picture.h"
#include "image/screen_quad.h"
#include "image/texture.h"
#include "image/texture_registry.h"

#include <string_view>
#include <vector>

Registry<std::unique_ptr<Scene>> SceneRegistry;
std::string SoundtrackPath;

namespace {

std::string dataPath(const std::string& line) { return resolveDataPath("data\\" + line); }

// Carries out what the script names, in file order.
class ShowLoader : public ScriptSink {
public:
    explicit ShowLoader(SoundStream*& stream) : stream_(stream) {}

    void mp3Entry(const std::string& line) override
    {
        SoundtrackPath = dataPath(line);
        if (NoSound == 0)
            stream_ = SoundStreamOpen(SoundtrackPath.c_str());
        // After a failed open the show stays silent for the rest of the run.
        if (!stream_)
            NoSound = 1;
    }

    // Registers the line's entry, for the scenes listed after it to find; its texture is
    // made by upload.
    void textureEntry(const std::string& line) override
    {
        // A line listed again names the same file: the entry already made stays.
        if (TextureRegistry.find(line))
            return;
        if (line.find(".jpg") == std::string::npos && line.find(".png") == std::string::npos)
            return;
        TextureRegistry.store(line, 0);
        textureLines_.push_back(line);
    }

    // Makes the textures in the order they were listed, one picture read at a time, then
    // the scenes' display lists, in the current context.
    void upload()
    {
        for (const std::string& line : textureLines_) {
            // A line naming both kinds reads both pictures and keeps the PNG.
            TexturePicture picture;
            if (line.find(".jpg") != std::string::npos)
                picture = DecodeJpegTexture(dataPath(line));
            if (line.find(".png") != std::string::npos) {
                picture = TexturePicture(); // the JPEG's texels go before the PNG is read
                picture = DecodePngTexture(dataPath(line));
            }
            TextureRegistry.store(line, CreateTexture(picture, true));
        }
        textureLines_.clear();
        for (auto& named : SceneRegistry)
            named.second->upload();
    }

    void sceneEntry(const std::string& line) override
    {
        // Registered whatever the loader made of what it read. A file that cannot be opened
        // leaves the name without a scene, which draws as an empty one would, so a script
        // listing many missing files holds no scene object for each. A scene listed again
        // is loaded again (it may find textures listed since) and the one it replaces is
        // freed, its display lists with it.
        auto scene = std::make_unique<Scene>();
        if (scene->loadFile(dataPath(line).c_str(), RegistryTextureLookup(TextureRegistry)) != 0) {
            SceneRegistry.remove(line);
            return;
        }
        SceneRegistry.store(line, std::move(scene));
    }

    // The timeline grows once, by the script's part count; the parts then fill it in order.
    void partCount(int count) override
    {
        next_ = Timeline.size();
        Timeline.setSize(next_ + count);
    }
    void part(const TimelineEntry& entry) override { Timeline[next_++] = entry; }

private:
    SoundStream*& stream_;
    int next_ = 0;
    // The texture lines registered, in the order they were listed, waiting for upload.
    std::vector<std::string> textureLines_;
};

// The orthographic projection over the picture band that screen quads are drawn in.
void pushScreenProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, ScreenWidth, 0, ScreenHeight, -1, 1);
}

void popScreenProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// The window, the music (or the tick count) and the keyboard. The music's clock is
// shifted by the audio delay; the tick count, with no sound to match, is not.
class WindowHost : public PlaybackHost {
public:
    WindowHost(SoundStream* stream)
        : stream_(stream), useTicks_(NoSound != 0 || stream == nullptr), musicClock_(AudioDelayMs)
    {
    }

    int startClock() override
    {
        if (NoSound == 0 && stream_)
            SoundStreamPlay(stream_);
        startTick_ = SDL_GetTicks();
        // The music starts from its beginning: the first part's time counts from there,
        // so that the delay moves its animation as well as the part changes.
        return 0;
    }

    int readClock() override
    {
        if (useTicks_)
            return static_cast<int>(SDL_GetTicks() - startTick_);
        return musicClock_.read(SoundStreamGetTime(stream_), SoundStreamEnded(stream_), SDL_GetTicks());
    }

    void restartClock() override
    {
        if (useTicks_) {
            startTick_ = SDL_GetTicks();
        } else {
            SoundStreamSetPosition(stream_, 0);
            musicClock_.restart();
        }
    }

    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        PumpMessages();
        SetViewport(ScreenWidth, ScreenHeight);
        DrawPart(part, partTime);
        SDL_GL_SwapWindow(MainWindow);
    }

    bool escapeDown() override
    {
        // A quick tap is released again before the loop looks; its press still counts.
        const bool tapped = TakeKeyPress(VK_ESCAPE_KEY);
        return KeyState[VK_ESCAPE_KEY] != 0 || tapped;
    }

private:
    SoundStream* stream_;
    bool useTicks_;
    DelayedClock musicClock_;
    Uint32 startTick_ = 0;
};

} // namespace

bool LoadScript(SoundStream*& stream)
{
    ShowLoadingPicture();

    std::vector<unsigned char> bytes;
    std::string problem;
    if (!ReadDataFile("script.txt", ScriptFileLimit, bytes, problem))
        return false;

    ShowLoader loader(stream);
    ParseScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), loader);
    loader.upload();
    return true;
}

void SelectCamera(Scene& scene, const std::string& cameraName)
{
    Node* found = scene.findNodeByName(cameraName);
    if (found && found->kind == NodeKind::Camera)
        scene.camera = static_cast<CameraNode*>(found);
}

void DrawPart(const TimelineEntry& part, float partTime)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    std::unique_ptr<Scene>* scene = SceneRegistry.find(part.sceneName);

    const float halfWidth = ScreenWidth * 0.5f;
    const float halfHeight = ScreenHeight * 0.5f;
    if (part.backgroundName != "standard") {
        // A name the script never listed draws nothing in the background's place.
        if (const GLuint* texture = TextureRegistry.find(part.backgroundName)) {
            pushScreenProjection();
            DrawBackgroundQuad(halfWidth, halfHeight, halfWidth, halfHeight, 1.0f, *texture);
            popScreenProjection();
        }
        glClear(GL_DEPTH_BUFFER_BIT);
    }

    if (scene) {
        SelectCamera(**scene, part.cameraName);
        (*scene)->renderFrame(partTime);
    }

    if (part.overlayName != "standard") {
        glClear(GL_DEPTH_BUFFER_BIT);
        if (const GLuint* texture = TextureRegistry.find(part.overlayName)) {
            pushScreenProjection();
            DrawOverlayQuad(halfWidth, halfHeight, halfWidth, halfHeight, *texture);
            popScreenProjection();
        }
    }
}

void RunTimeline(int loop, SoundStream* stream)
{
    WindowHost host(stream);
    PlayTimeline(Timeline, loop != 0, host);
}
