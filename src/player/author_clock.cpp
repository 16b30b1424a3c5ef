#include "player/author_clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

AuthorClock::AuthorClock(AuthorMusic& music, double showEndMs) : music_(music), showEnd_(showEndMs) {}

void AuthorClock::start(uint32_t nowMs)
{
    lastTick_ = nowMs;
    seek(0.0);
}

void AuthorClock::advance(uint32_t nowMs)
{
    const uint32_t ticks = nowMs - lastTick_;
    lastTick_ = nowMs;
    if (paused_)
        return;
    if (musicLeads() && music_.audible())
        ms_ = std::max(ms_, music_.position());
    else
        ms_ += ticks * speed_;
    if (ms_ <= showEnd_)
        return;
    if (looping_) {
        seek(0.0);
    } else {
        ms_ = showEnd_;
        paused_ = true;
        music_.hold();
    }
}

void AuthorClock::togglePause()
{
    if (paused_ && ms_ >= showEnd_) {
        ms_ = 0.0;
        ++jumps_;
    }
    paused_ = !paused_;
    followSpeed();
}

void AuthorClock::seek(double ms)
{
    ms_ = std::clamp(ms, 0.0, std::max(showEnd_, 0.0));
    ++jumps_;
    if (musicLeads())
        music_.play(ms_);
}

void AuthorClock::step(int frames)
{
    if (paused_)
        seek(ms_ + frames * FrameStepMs);
}

void AuthorClock::slower()
{
    speed_ = std::max(SlowestSpeed, speed_ / 2);
    followSpeed();
}

void AuthorClock::faster()
{
    speed_ = std::min(FastestSpeed, speed_ * 2);
    followSpeed();
}

void AuthorClock::setShowEnd(double showEndMs)
{
    showEnd_ = showEndMs;
    if (ms_ > showEnd_)
        seek(showEnd_);
}

void AuthorClock::followSpeed()
{
    // Without resampling, music at any other speed than 1x would only mislead: it is held.
    if (musicLeads())
        music_.play(ms_);
    else
        music_.hold();
}

namespace {

// The clock at which part is entered: the first reading after the previous part's end,
// where the part is current at part time 0 as playing shows it first (the first part from 0).
double partEntry(const TimelineArray& timeline, int part)
{
    return part == 0 ? 0.0 : std::nextafter(PartStart(timeline, part), HUGE_VAL);
}

} // namespace

// Windows virtual-key codes: Space, arrows, PageUp/PageDown, Home, the OEM keys , . - = [ ]
// and the keypad's - and +.
const AuthorKeyBinding AuthorKeyBindings[] = {
    {0x20, AuthorKey::Pause},        {0x25, AuthorKey::Back},        {0x28, AuthorKey::Back},
    {0x27, AuthorKey::Forward},      {0x26, AuthorKey::Forward},     {0x21, AuthorKey::PreviousPart},
    {0xDB, AuthorKey::PreviousPart}, {0x22, AuthorKey::NextPart},    {0xDD, AuthorKey::NextPart},
    {0x24, AuthorKey::Restart},      {0xBC, AuthorKey::StepBack},    {0xBE, AuthorKey::StepForward},
    {0xBD, AuthorKey::Slower},       {0x6D, AuthorKey::Slower},      {0xBB, AuthorKey::Faster},
    {0x6B, AuthorKey::Faster},       {'L', AuthorKey::Loop},         {'H', AuthorKey::HideBar},
    {'S', AuthorKey::Screenshot},    {'C', AuthorKey::Cut},          {'J', AuthorKey::Join},
    {'V', AuthorKey::Camera},        {'B', AuthorKey::Background},   {'O', AuthorKey::Overlay},
    {'Z', AuthorKey::Undo},          {'Y', AuthorKey::Redo},         {'1', AuthorKey::LiveCut},
    {'2', AuthorKey::LiveCut},       {'3', AuthorKey::LiveCut},      {'4', AuthorKey::LiveCut},
    {'5', AuthorKey::LiveCut},       {'6', AuthorKey::LiveCut},      {'7', AuthorKey::LiveCut},
    {'8', AuthorKey::LiveCut},       {'9', AuthorKey::LiveCut},
};
const int AuthorKeyBindingCount = sizeof AuthorKeyBindings / sizeof AuthorKeyBindings[0];

void FormatClock(char* text, size_t size, long long ms)
{
    ms = std::max(ms, 0LL);
    std::snprintf(text, size, "%02lld:%02lld.%03lld", ms / 60000, ms / 1000 % 60, ms % 1000);
}

AuthorKey AuthorKeyOf(int virtualKey)
{
    for (int i = 0; i < AuthorKeyBindingCount; ++i) {
        if (AuthorKeyBindings[i].virtualKey == virtualKey)
            return AuthorKeyBindings[i].key;
    }
    return AuthorKey::None;
}

AuthorTransport::AuthorTransport(const TimelineArray& timeline, AuthorMusic& music)
    : timeline_(timeline), clock_(music, ShowEnd(timeline))
{
}

void AuthorTransport::press(AuthorKey key, bool shift, bool ctrl)
{
    const double seekMs = shift ? 10000.0 : 1000.0;
    const int current = PositionAt(timeline_, clock_.ms()).part;
    if (ctrl && HasBeats(beats_) && (key == AuthorKey::Back || key == AuthorKey::Forward)) {
        clock_.seek(StepOnGrid(beats_, clock_.ms(), key == AuthorKey::Forward ? 1 : -1, shift ? BeatsPerBar : 1));
        return;
    }
    switch (key) {
    case AuthorKey::Pause:
        clock_.togglePause();
        break;
    case AuthorKey::Back:
        clock_.seek(clock_.ms() - seekMs);
        break;
    case AuthorKey::Forward:
        clock_.seek(clock_.ms() + seekMs);
        break;
    case AuthorKey::PreviousPart: {
        // Parts that are never current (their end not past their start) are passed over.
        int part = current - 1;
        while (part > 0 && !PartIsShown(timeline_, part))
            --part;
        clock_.seek(partEntry(timeline_, std::max(part, 0)));
        break;
    }
    case AuthorKey::NextPart:
        if (current + 1 < timeline_.size())
            clock_.seek(partEntry(timeline_, current + 1));
        else if (clock_.looping())
            clock_.seek(0.0);
        break;
    case AuthorKey::Restart:
        clock_.seek(0.0);
        break;
    case AuthorKey::StepBack:
        clock_.step(-1);
        break;
    case AuthorKey::StepForward:
        clock_.step(1);
        break;
    case AuthorKey::Slower:
        clock_.slower();
        break;
    case AuthorKey::Faster:
        clock_.faster();
        break;
    case AuthorKey::Loop:
        clock_.setLooping(!clock_.looping());
        break;
    default:
        break;
    }
}

ShowPosition AuthorTransport::frame(uint32_t nowMs)
{
    clock_.advance(nowMs);
    return PositionAt(timeline_, clock_.ms());
}

void AuthorTransport::timelineChanged() { clock_.setShowEnd(ShowEnd(timeline_)); }

void AuthorTransport::scrubStart(double ms)
{
    playedBeforeScrub_ = !clock_.paused();
    if (playedBeforeScrub_)
        clock_.togglePause();
    clock_.seek(ms);
}

void AuthorTransport::scrubEnd(double ms)
{
    clock_.seek(ms);
    // Released at the very end the show stays there rather than starting again.
    if (playedBeforeScrub_ && clock_.paused() && clock_.ms() < ShowEnd(timeline_))
        clock_.togglePause();
    playedBeforeScrub_ = false;
}
