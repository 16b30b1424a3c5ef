// The bundled show's clock: tempo, bar lines, and the parts that switch on them.
// Scenes animate in part frames (30 per second, counted from 0 when their part starts),
// so motion lands on the beat when it keys on multiples of FramesPerBeat.
#pragma once

#include "show_assets.h"

namespace show {

constexpr int BeatsPerMinute = 120;
constexpr int MsPerBeat = 60000 / BeatsPerMinute;
constexpr int BeatsPerBar = 4;
constexpr int MsPerBar = MsPerBeat * BeatsPerBar;
constexpr int Bars = 36;
constexpr int MusicMs = Bars * MsPerBar;

// Part time runs at 0.03 frames per clock millisecond.
constexpr int FramesPerBeat = MsPerBeat * 3 / 100;
constexpr int FramesPerBar = FramesPerBeat * BeatsPerBar;

// Where bar (counted from 0) starts on the music clock.
constexpr int barStartMs(int bar) { return bar * MsPerBar; }

// The last part ends a little before the music does: the clock has to pass an end
// time to leave a part, and the music clock stops where the sound stops.
constexpr int LastPartEndMs = MusicMs - 200;

// One part of the show as the script lists it. Bars are [firstBar, endBar).
struct ShowPart {
    const char* scene;       // scene file under data/, also its registry name
    const char* camera;      // camera node name the part views the scene through
    const char* background;  // JPEG drawn behind the scene, or "standard"
    const char* overlay;     // PNG drawn over the scene, or "standard"
    int firstBar;
    int endBar;
    int endMs;               // end time in the script
};

constexpr const char* NoImage = "standard";

// The scene files, in the order the script loads them.
constexpr const char* SceneFiles[] = {
    IntroScene, OrbitScene, TunnelScene, MorphScene, LightsScene, FinaleScene,
};

// Parts that share a scene restart its animation at frame 0 on the cut, so those scenes
// loop seamlessly over the length of their shortest part (orbit: 4 bars, finale: 2 bars).
constexpr ShowPart Parts[] = {
    // Pads and arpeggio fade in under the title.
    {IntroScene, "intro_cam", SkyBackground, TitleOverlay, 0, 4, barStartMs(4)},
    // Kick and bass enter.
    {OrbitScene, "orbit_cam", NebulaBackground, LogoOverlay, 4, 8, barStartMs(8)},
    // Snare and open hats: a cut to a closer camera on the same scene.
    {OrbitScene, "orbit_close", NebulaBackground, NoImage, 8, 12, barStartMs(12)},
    // The lead melody, eight bars.
    {TunnelScene, "tunnel_cam", NoImage, NoImage, 12, 20, barStartMs(20)},
    // Breakdown: no drums, a riser and snare roll in its last bar.
    {MorphScene, "morph_cam", HorizonBackground, NoImage, 20, 24, barStartMs(24)},
    // The drop: everything, lead with harmony.
    {LightsScene, "lights_cam", NoImage, LogoOverlay, 24, 32, barStartMs(32)},
    // Outro groove under the credits.
    {FinaleScene, "finale_cam", NebulaBackground, CreditsOverlay, 32, 34, barStartMs(34)},
    // The last chord rings out.
    {FinaleScene, "finale_cam", NebulaBackground, TheEndOverlay, 34, 36, LastPartEndMs},
};

constexpr int PartCount = sizeof(Parts) / sizeof(Parts[0]);

} // namespace show
