#include "demo/show_run.h"

#include "demo/platform.h"
#include "demo/screenshot.h"
#include "demo/show.h"
#include "gpu/viewport.h"

ShowRun::ShowRun(Show& show, Platform& platform, SoundStream* stream, bool loop, Screenshots* shots)
    : show_(show), platform_(platform), stream_(stream), shots_(shots), playback_(show.Timeline, loop),
      useTicks_(platform.soundOff() || stream == nullptr), musicClock_(platform.audioDelayMs())
{
    next_.over = true;
    if (shots_) {
        shots_->prepare(platform_.pictureWidth(), platform_.pictureHeight());
        // S pressed while the show loaded takes nothing.
        platform_.takeKeyPress(ScreenshotKey);
    }
}

bool ShowRun::start()
{
    if (!platform_.soundOff() && stream_)
        platform_.startMusic(stream_);
    startTick_ = platform_.ticks();
    shownClock_ = 0;
    // The music starts from its beginning: the first part's time counts from there, so
    // that the delay moves its animation as well as the part changes.
    next_ = playback_.start(0, escapeDown());
    return !next_.over;
}

bool ShowRun::frame()
{
    if (next_.over)
        return false;
    platform_.pumpEvents();
    const int width = platform_.pictureWidth();
    const int height = platform_.pictureHeight();
    SetViewport(width, height);
    show_.DrawPart(show_.Timeline[next_.part], next_.partTime, width, height);
    // The clock read last chose this picture.
    if (shots_ && platform_.takeKeyPress(ScreenshotKey))
        shots_->takeAndReport(width, height, shownClock_, platform_.ticks());
    platform_.present();

    const int clock = readClock();
    next_ = playback_.step(clock, escapeDown());
    if (next_.restartClock)
        restartClock();
    return !next_.over;
}

// The music's clock is shifted by the audio delay; the tick count, with no sound to match,
// is not.
int ShowRun::readClock()
{
    if (useTicks_)
        shownClock_ = static_cast<int>(platform_.ticks() - startTick_);
    else
        shownClock_ = musicClock_.read(platform_.musicPosition(stream_), platform_.musicEnded(stream_), platform_.ticks());
    return shownClock_;
}

void ShowRun::restartClock()
{
    if (useTicks_) {
        startTick_ = platform_.ticks();
    } else {
        platform_.seekMusic(stream_, 0);
        musicClock_.restart();
    }
    shownClock_ = 0;
}

bool ShowRun::escapeDown()
{
    // A quick tap is released again before the loop looks; its press still counts.
    const bool tapped = platform_.takeKeyPress(VK_ESCAPE_KEY);
    return platform_.keyDown(VK_ESCAPE_KEY) || tapped;
}
