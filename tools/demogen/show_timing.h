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

// The sections of the music, by the bar (counted from 0) where each begins.
constexpr int IntroBar = 0;       // pads and arpeggio fade in
constexpr int GrooveBar = 4;      // kick and bass enter
constexpr int BackbeatBar = 8;    // snare and open hats join
constexpr int MelodyBar = 12;     // the lead melody, eight bars
constexpr int BreakdownBar = 20;  // no kick; a riser and snare roll in its last bar
constexpr int DropBar = 24;       // everything, the melody in two voices
constexpr int OutroBar = 32;      // the groove without the lead
constexpr int CodaBar = 34;       // one last hit, the tonic chord rings out

// Where bar starts on the music clock.
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
    {IntroScene, "intro_cam", SkyBackground, TitleOverlay, IntroBar, GrooveBar,
     barStartMs(GrooveBar)},
    {OrbitScene, "orbit_cam", NebulaBackground, LogoOverlay, GrooveBar, BackbeatBar,
     barStartMs(BackbeatBar)},
    // A cut to a closer camera on the same scene as the snare comes in.
    {OrbitScene, "orbit_close", NebulaBackground, NoImage, BackbeatBar, MelodyBar,
     barStartMs(MelodyBar)},
    {TunnelScene, "tunnel_cam", NoImage, NoImage, MelodyBar, BreakdownBar,
     barStartMs(BreakdownBar)},
    {MorphScene, "morph_cam", HorizonBackground, NoImage, BreakdownBar, DropBar,
     barStartMs(DropBar)},
    {LightsScene, "lights_cam", NoImage, LogoOverlay, DropBar, OutroBar, barStartMs(OutroBar)},
    {FinaleScene, "finale_cam", NebulaBackground, CreditsOverlay, OutroBar, CodaBar,
     barStartMs(CodaBar)},
    {FinaleScene, "finale_cam", NebulaBackground, TheEndOverlay, CodaBar, Bars, LastPartEndMs},
};

constexpr int PartCount = sizeof(Parts) / sizeof(Parts[0]);

} // namespace show
