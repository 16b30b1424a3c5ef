#include "desktop/desktop_platform.h"

#include "desktop/shell_state.h"
#include "desktop/sound.h"
#include "desktop/window.h"
#include "gpu/renderer.h"
#include "image/loading_picture.h"

#include <SDL.h>

namespace {

// Whether a swap shows nothing anywhere: SDL's drivers that draw into no screen.
bool presentsNothing()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

} // namespace

DesktopPlatform::DesktopPlatform(SDL_Window* offscreen, int width, int height)
    : offscreen_(offscreen), width_(width), height_(height)
{
}

int DesktopPlatform::pictureWidth() { return offscreen_ ? width_ : ScreenWidth; }

int DesktopPlatform::pictureHeight() { return offscreen_ ? height_ : ScreenHeight; }

void DesktopPlatform::present()
{
    SDL_Window* window = offscreen_ ? offscreen_ : MainWindow;
    if (!window)
        return;
    SDL_GL_SwapWindow(window);
    // SDL's offscreen driver swaps an EGL pbuffer, which EGL leaves untouched: the swap
    // hands the driver no frame, and a software rasteriser would keep every frame's
    // commands undrawn until the context closes, seconds after a stop signal. Waiting
    // for the frame leaves none behind; a swap that presents already waits.
    if (presentsNothing())
        ActiveRenderer().finish();
}

void DesktopPlatform::showLoadingPicture(const DataFolder& folder, ImageBudget& budget, TexturePicture* decoded)
{
    DrawLoadingPicture(folder, budget, pictureWidth(), pictureHeight(), decoded);
    present();
}

void DesktopPlatform::pumpEvents() { PumpMessages(); }

uint32_t DesktopPlatform::ticks() { return SDL_GetTicks(); }

bool DesktopPlatform::keyDown(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256 && KeyState[virtualKey] != 0;
}

bool DesktopPlatform::takeKeyPress(int virtualKey) { return TakeKeyPress(virtualKey); }

int DesktopPlatform::takePointerEvents(PointerEvent (&events)[PointerEventCapacity])
{
    return TakePointerEvents(events);
}

bool DesktopPlatform::soundOff() { return offscreen_ || NoSound != 0; }

SoundStream* DesktopPlatform::openMusic(const std::string& path, const DataFolder& folder)
{
    if (offscreen_)
        return nullptr;
    SoundStream* stream = NoSound == 0 ? SoundStreamOpen(path.c_str(), folder) : nullptr;
    if (!stream)
        NoSound = 1;
    return stream;
}

void DesktopPlatform::closeMusic(SoundStream* stream) { SoundStreamClose(stream); }

bool DesktopPlatform::startMusic(SoundStream* stream) { return SoundStreamPlay(stream); }

int DesktopPlatform::musicPosition(SoundStream* stream) { return SoundStreamGetTime(stream); }

bool DesktopPlatform::musicEnded(SoundStream* stream) { return SoundStreamEnded(stream); }

bool DesktopPlatform::seekMusic(SoundStream* stream, int ms) { return SoundStreamSetPosition(stream, ms); }

bool DesktopPlatform::pauseMusic(SoundStream* stream, bool paused) { return SoundStreamPause(stream, paused); }

int DesktopPlatform::audioDelayMs() { return AudioDelayMs; }

DesktopPlatform& Desktop()
{
    static DesktopPlatform desktop;
    return desktop;
}
