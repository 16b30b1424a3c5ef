// The show: "script.txt" of one folder loaded into its scenes, textures and timeline, then
// played.
#pragma once

#include "common/data_file.h"
#include "common/registry.h"
#include "demo/timeline.h"
#include "image/image_limits.h"
#include "image/texture.h"
#include "scene/scene.h"

#include <memory>
#include <string>

class Platform;
struct LoadReport;
struct PlanEntry;
struct ShowPlan;
struct SoundStream;
class Screenshots;

// One show and everything loaded for it: it reads its files from its folder only, and
// takes its pictures from its own texture budget. Shows side by side share nothing.
class Show {
public:
    // A show of the files in folder, whose textures may take textureMemory bytes decoded.
    explicit Show(const DataFolder& folder = DataFolder(), long long textureMemory = DefaultTextureMemory);

    const DataFolder& folder() const { return folder_; }

    // Has platform show the loading picture, then reads the folder's "script.txt": opens the
    // soundtrack into stream through platform (sound is off from then on when none opens),
    // loads the scenes and fills the timeline, then makes the textures and the scenes'
    // display lists in the current context. Keeps what it found in each picture and scene
    // file in loaded, when given, for the start-up check. Returns false only when the
    // script cannot be read.
    bool LoadScript(Platform& platform, SoundStream*& stream, LoadReport* loaded = nullptr);

    // Plays the timeline on platform until it ends (forever when loop is set) or Escape
    // is down, on the music's clock, or on the tick count when there is no music: a
    // ShowRun's frames, one after the other. With shots, S writes the frame being shown
    // into them.
    void RunTimeline(Platform& platform, int loop, SoundStream* stream, Screenshots* shots = nullptr);

    // Draws one frame of part at partTime into the current context, a drawable of width x
    // height whose viewport is set: clear, background, the scene through the part's camera,
    // overlay. Does not swap or pump.
    void DrawPart(const TimelineEntry& part, float partTime, int width, int height);
    // Brings part's scene to partTime through its camera without drawing: a frame skipped
    // leaves every scene in the state a drawn one would.
    void EvaluatePart(const TimelineEntry& part, float partTime);

    // The parts in script order.
    TimelineArray Timeline;
    // The scenes of the script, by lower-cased scene line.
    Registry<std::unique_ptr<Scene>> SceneRegistry;
    // Each lower-cased texture line of the script (for example "logo.png") to its OpenGL
    // texture, owned: deleted with the show while its context is current. find returns
    // null for a name the script did not list.
    Registry<TextureHandle> TextureRegistry;
    // Decoded picture memory: every texture the script lists and the loading picture take
    // from it.
    ImageBudget TextureBudget;
    // The file of the script's last "[mp3]" entry (as found on disk, relative to the
    // folder), whether or not it opened.
    std::string SoundtrackPath;

private:
    void carryOut(Platform& platform, ShowPlan& plan, SoundStream*& stream, LoadReport* loaded);
    void openSoundtrack(Platform& platform, const std::string& key, SoundStream*& stream);
    void registerTexture(const PlanEntry& entry);
    void loadScene(const PlanEntry& entry, LoadReport* loaded);
    void uploadShow(const ShowPlan& plan, LoadReport* loaded);
    std::string dataPath(const std::string& line) const { return folder_.resolve("data\\" + line); }

    DataFolder folder_;
};

// Makes the first node in pre-order whose name contains cameraName the scene's camera,
// when that node is a camera; otherwise the scene keeps the camera it had.
void SelectCamera(Scene& scene, const std::string& cameraName);

// Clears the frame to black, colour and depth: what a frame starts from.
void ClearFrame();
