// The web platform: the show in a page's canvas. The picture is a WebGL 1 context made
// through Emscripten's html5 API and drawn by the gles2 renderer; keys and the pointer
// come from the page's events; the music is a Web Audio buffer the page decoded, whose
// play position on the audio context's clock is the show's clock.
#pragma once

#include "demo/platform.h"

#include <string>

class WebPlatform final : public Platform {
public:
    // Makes the WebGL 1 context of the canvas the CSS selector canvas names and installs
    // the gles2 renderer for it; with keepFrames, a drawn frame stays readable after it is
    // shown (for capture). Listens to the page's keys and the canvas's pointer. Returns
    // false, error set, when the browser gives no WebGL 1 context or the renderer cannot
    // start in it.
    bool open(const std::string& canvas, bool keepFrames, std::string& error);

    // The drawable's size follows the canvas's size on the page times the device's pixel
    // ratio, unless fixSize gave it one (capture draws at an exact size).
    void fixSize(int width, int height);
    // Sound is off for every later stream: chosen on the start panel, or no Web Audio.
    void setSoundOff() { soundOff_ = true; }

    int pictureWidth() override { return width_; }
    int pictureHeight() override { return height_; }
    // The browser shows the frame when the page's animation frame returns; present only
    // follows the canvas's size for the next frame.
    void present() override;
    void showLoadingPicture(const DataFolder& folder, ImageBudget& budget, TexturePicture* decoded) override;

    void pumpEvents() override;
    uint32_t ticks() override;
    bool keyDown(int virtualKey) override;
    bool takeKeyPress(int virtualKey) override;
    int takePointerEvents(PointerEvent (&events)[PointerEventCapacity]) override;

    bool soundOff() override { return soundOff_; }
    // The soundtrack's bytes, read through folder as the desktop reads them, must have
    // been decoded by the page beforehand (DecodedSoundtrack in web_sound.h); a stream of
    // a file the page could not decode is null, and sound is off from then on.
    SoundStream* openMusic(const std::string& path, const DataFolder& folder) override;
    void closeMusic(SoundStream* stream) override;
    bool startMusic(SoundStream* stream) override;
    int musicPosition(SoundStream* stream) override;
    bool musicEnded(SoundStream* stream) override;
    bool seekMusic(SoundStream* stream, int ms) override;
    bool pauseMusic(SoundStream* stream, bool paused) override;
    // The page has no delay setting: the audio context's clock already counts what was
    // heard. 0.
    int audioDelayMs() override;

    // The key and pointer events the page's callbacks deliver.
    void keyEvent(int virtualKey, bool down);
    void pointerEvent(const PointerEvent& event);

private:
    void followCanvasSize();

    std::string canvas_;
    int width_ = 1;
    int height_ = 1;
    bool fixedSize_ = false;
    bool soundOff_ = false;
    bool keyState_[256] = {};
    bool keyPressed_[256] = {};
    PointerEventQueue pointer_;
};

// The page's one platform.
WebPlatform& Web();
