// The desktop platform: the show's seam answered by the shell's window (MainWindow, its
// size in ScreenWidth x ScreenHeight), its event pump and key state, the SDL tick count and
// the sound layer (NoSound, AudioDelayMs); or by an off-screen window with no sound.
#pragma once

#include "demo/platform.h"

#include <SDL.h>

class DesktopPlatform final : public Platform {
public:
    // The shell's window.
    DesktopPlatform() = default;
    // A picture of width x height in the off-screen window offscreen, with no sound: what
    // capture draws into.
    DesktopPlatform(SDL_Window* offscreen, int width, int height);

    int pictureWidth() override;
    int pictureHeight() override;
    // Swaps the window's buffers; does nothing without a window (tests).
    void present() override;
    void showLoadingPicture(const DataFolder& folder, ImageBudget& budget, TexturePicture* decoded) override;

    // PumpMessages: the program ends here when the window is closed or a stop signal came.
    void pumpEvents() override;
    uint32_t ticks() override;
    bool keyDown(int virtualKey) override;
    bool takeKeyPress(int virtualKey) override;
    int takePointerEvents(PointerEvent (&events)[PointerEventCapacity]) override;

    bool soundOff() override;
    SoundStream* openMusic(const std::string& path, const DataFolder& folder) override;
    void closeMusic(SoundStream* stream) override;
    bool startMusic(SoundStream* stream) override;
    int musicPosition(SoundStream* stream) override;
    bool musicEnded(SoundStream* stream) override;
    bool seekMusic(SoundStream* stream, int ms) override;
    bool pauseMusic(SoundStream* stream, bool paused) override;
    int audioDelayMs() override;

private:
    SDL_Window* offscreen_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The process's desktop platform, over the shell's one window and sound device.
DesktopPlatform& Desktop();
