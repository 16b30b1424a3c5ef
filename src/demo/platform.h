// The platform seam: everything the show needs from the machine it plays on, and nothing
// more. The desktop implements it with SDL (desktop/desktop_platform.h); a page would with
// the browser's canvas, events and Web Audio; tests with a script. The show and the engine
// reach the machine through it alone; they draw through the renderer installed with the
// context (gpu/renderer.h), and read a show's files from the DataFolder
// (common/data_file.h) the platform opened for them.
#pragma once

#include "common/data_file.h"
#include "image/image_limits.h"

#include <cstdint>
#include <string>

struct SoundStream; // an open soundtrack of the platform's
struct TexturePicture;

// Windows virtual-key code of Escape, the key that ends the show. Keys are named by
// these codes on every platform.
constexpr int VK_ESCAPE_KEY = 27;

// A pointer event in drawable pixels, (0, 0) at the top left.
struct PointerEvent {
    enum class Kind { Press, Release, Motion, Wheel };
    Kind kind = Kind::Motion;
    int x = 0;
    int y = 0;
    int button = 0; // Press, Release: 1 left, 2 middle, 3 right
    int clicks = 0; // Press: 1, or 2 for a double click
    int wheel = 0;  // Wheel: notches, positive away from the user
};
// How many pointer events are kept between two takePointerEvents; beyond that the oldest
// are dropped (motions are merged, so only a flood of clicks gets there).
constexpr int PointerEventCapacity = 64;

// The pointer events a platform keeps between two takePointerEvents: a motion right after
// a motion replaces it, and past the capacity the oldest event goes.
class PointerEventQueue {
public:
    void push(const PointerEvent& event);
    // Moves the events into events, oldest first, and returns their count.
    int take(PointerEvent (&events)[PointerEventCapacity]);

private:
    PointerEvent events_[PointerEventCapacity];
    int count_ = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // The picture: the drawable's size in pixels (its height never 0), and showing a
    // finished frame.
    virtual int pictureWidth() = 0;
    virtual int pictureHeight() = 0;
    virtual void present() = 0;
    // Draws "data\Loading.jpg" of folder over the whole picture, its bytes taken from
    // budget (decoded, when given, takes the picture as it was decoded), and shows it at
    // once, before the show's files are read.
    virtual void showLoadingPicture(const DataFolder& folder, ImageBudget& budget, TexturePicture* decoded) = 0;

    // Time, keys and pointer.
    // Handles what the machine reported since the last call (window, keys, pointer, stop
    // requests); never waits. A platform may end the program here, as the desktop does
    // when its window is closed or a stop signal came.
    virtual void pumpEvents() = 0;
    // Milliseconds from a start of the platform's, as a 32-bit count that wraps.
    virtual uint32_t ticks() = 0;
    // True while the key of virtualKey is down.
    virtual bool keyDown(int virtualKey) = 0;
    // True when virtualKey was pressed since the last call for it, even if it has been
    // released again; clears the press. Invalid codes give false.
    virtual bool takeKeyPress(int virtualKey) = 0;
    // Moves the pointer events since the last call into events, oldest first, and returns
    // their count.
    virtual int takePointerEvents(PointerEvent (&events)[PointerEventCapacity]) = 0;

    // The music: one MP3 stream at a time, whose play position is the show's clock.
    // True when the show plays without sound (chosen, or sound could not start or a
    // soundtrack could not open); once raised it stays.
    virtual bool soundOff() = 0;
    // Opens the MP3 file at path in folder as a stream that plays once. Returns null, and
    // sound is off from then on, when the file is refused or undecodable; null at once
    // while sound is off.
    virtual SoundStream* openMusic(const std::string& path, const DataFolder& folder) = 0;
    // Stops and closes stream; the pointer is invalid afterwards. Null does nothing.
    virtual void closeMusic(SoundStream* stream) = 0;
    // Starts stream playing from its position. Returns false when it cannot play.
    virtual bool startMusic(SoundStream* stream) = 0;
    // The stream's play position in ms since the music started (0 for null).
    virtual int musicPosition(SoundStream* stream) = 0;
    // True once the stream has played to its end (false for null).
    virtual bool musicEnded(SoundStream* stream) = 0;
    // Moves the play position to ms. Returns false for null.
    virtual bool seekMusic(SoundStream* stream, int ms) = 0;
    // Holds the stream silent where it is, or lets it play on. Returns false for null.
    virtual bool pauseMusic(SoundStream* stream, bool paused) = 0;
    // How much earlier than the music the picture is shown, in ms (see DelayedClock): the
    // sound path's own delay, as the user set it.
    virtual int audioDelayMs() = 0;
};
