// The show: "script.txt" loaded into the registries and the timeline, then played.
#pragma once

#include "common/data_file.h"
#include "common/registry.h"
#include "demo/timeline.h"
#include "scene/scene.h"

#include <memory>
#include <string>

struct LoadReport;
struct SoundStream;

// The process-wide scenes of the script, by lower-cased scene line.
extern Registry<std::unique_ptr<Scene>> SceneRegistry;

// The file of the script's last "[mp3]" entry (as found on disk, relative to the show's
// folder), whether or not it opened.
extern std::string SoundtrackPath;

// Shows the loading picture, then reads "script.txt" of folder: opens the
// soundtrack into stream (raising NoSound when none opens), loads the scenes and fills
// the timeline, then makes the textures and the scenes' display lists in the current
// context. Keeps what it found in each picture and scene file in loaded, when given, for
// the start-up check. Returns false only when the script cannot be read.
bool LoadScript(SoundStream*& stream, const DataFolder& folder, LoadReport* loaded = nullptr);

// Plays the timeline in the window until it ends (forever when loop is set) or Escape is
// down, on the music's clock, or on the tick count when there is no music.
void RunTimeline(int loop, SoundStream* stream);

// Makes the first node in pre-order whose name contains cameraName the scene's camera,
// when that node is a camera; otherwise the scene keeps the camera it had.
void SelectCamera(Scene& scene, const std::string& cameraName);

// Clears the frame to black, colour and depth: what a frame starts from.
void ClearFrame();

// Draws one frame of part at partTime into the current context: clear, background,
// the scene through the part's camera, overlay. Does not swap or pump.
void DrawPart(const TimelineEntry& part, float partTime);
