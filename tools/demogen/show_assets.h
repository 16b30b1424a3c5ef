// The file names of the bundled show, as the script names them (lower case, relative to
// data/). Scenes refer to textures by these names; the script lists every texture before
// the scenes so that their materials find them.
#pragma once

namespace show {

constexpr const char* MusicFile = "music.mp3";
constexpr const char* LoadingPicture = "loading.jpg";
// The settings dialog's title picture (180 x 186, 24-bit BMP); not listed in the script.
constexpr const char* DialogPicture = "dialog.bmp";

// Full-frame backgrounds (JPEG, upright behind the scene).
constexpr const char* SkyBackground = "sky.jpg";
constexpr const char* NebulaBackground = "nebula.jpg";
constexpr const char* HorizonBackground = "horizon.jpg";

// Full-frame overlays (PNG with transparent areas, upright over the scene).
constexpr const char* TitleOverlay = "title.png";
constexpr const char* LogoOverlay = "logo.png";
constexpr const char* CreditsOverlay = "credits.png";
constexpr const char* TheEndOverlay = "theend.png";

// Surface textures for the scenes, 256 x 256.
constexpr const char* CheckerTexture = "checker.jpg";
constexpr const char* GradientTexture = "gradient.jpg";
constexpr const char* MarbleTexture = "marble.jpg";
// A sphere map of a chrome ball: sky above, ground below, a bright highlight up left.
// JPEG, since only JPEG rows reach the texture bottom row first, which puts the sky
// at the top of eye space.
constexpr const char* ChromeTexture = "chrome.jpg";
// Bright stripes with translucent gaps (alpha), for layered and additive surfaces.
constexpr const char* StripesTexture = "stripes.png";
// A soft round glow on black with matching alpha, for additive sprites and flares.
constexpr const char* GlowTexture = "glow.png";

// Scene files, written by the scene writer.
constexpr const char* IntroScene = "intro.scn";
constexpr const char* OrbitScene = "orbit.scn";
constexpr const char* TunnelScene = "tunnel.scn";
constexpr const char* MorphScene = "morph.scn";
constexpr const char* LightsScene = "lights.scn";
constexpr const char* FinaleScene = "finale.scn";

} // namespace show
