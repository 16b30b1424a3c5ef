#include "player/timeline_strip.h"

#include "demo/part_timing.h"
#include "image/screen_text.h"
#include "player/author_clock.h"
#include "player/status_bar.h"
#include "player/waveform.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Each notch of the wheel narrows or widens the stretch shown by this factor.
constexpr double ZoomPerNotch = 1.25;
// Grid lines closer than this many pixels are left out: beats first, then bars.
constexpr double SparsestLinePixels = 4.0;

const float BlockColours[2][4] = {{0.10f, 0.13f, 0.20f, 0.85f}, {0.18f, 0.22f, 0.33f, 0.85f}};
const float Backing[4] = {0.0f, 0.0f, 0.0f, 0.85f};
const float PeakColour[4] = {0.35f, 0.55f, 0.80f, 0.9f};
const float RmsColour[4] = {0.65f, 0.85f, 1.00f, 0.95f};
const float BeatColour[4] = {1.0f, 1.0f, 1.0f, 0.18f};
const float BarColour[4] = {1.0f, 1.0f, 1.0f, 0.45f};
const float LabelColour[4] = {1.0f, 1.0f, 1.0f, 0.8f};
const float LoopColour[4] = {1.0f, 0.85f, 0.2f, 1.0f};
const float PlayheadColour[4] = {1.0f, 0.25f, 0.2f, 1.0f};
const float DraggedColour[4] = {0.3f, 1.0f, 0.45f, 1.0f};

} // namespace

TimelineStrip::TimelineStrip() : peak_(MostColumns), rms_(MostColumns) {}

void TimelineStrip::place(int width, int height, int bottom)
{
    width_ = std::max(1, width);
    drawableHeight_ = std::max(1, height);
    bottom_ = bottom;
    height_ = std::clamp(height / 8, 40, 120);
}

void TimelineStrip::setShowEnd(double showEndMs)
{
    showEnd_ = std::max(showEndMs, 1.0);
    if (zoomed_)
        setView(viewStart_, viewEnd_ - viewStart_);
    else
        setView(0.0, showEnd_);
}

void TimelineStrip::setView(double start, double span)
{
    span = std::clamp(span, std::min(NarrowestMs, showEnd_), showEnd_);
    viewStart_ = std::clamp(start, 0.0, showEnd_ - span);
    viewEnd_ = viewStart_ + span;
    zoomed_ = span < showEnd_;
}

bool TimelineStrip::contains(int x, int y) const
{
    const int top = drawableHeight_ - bottom_ - height_;
    return x >= 0 && x < width_ && y >= top && y < top + height_;
}

double TimelineStrip::msAt(double x) const { return viewStart_ + (viewEnd_ - viewStart_) * x / width_; }

double TimelineStrip::xAt(double ms) const { return (ms - viewStart_) * width_ / (viewEnd_ - viewStart_); }

void TimelineStrip::zoom(double aboutX, int notches)
{
    const double about = msAt(aboutX);
    const double span = (viewEnd_ - viewStart_) * std::pow(ZoomPerNotch, -notches);
    const double clamped = std::clamp(span, std::min(NarrowestMs, showEnd_), showEnd_);
    // The show time under the pointer stays under it.
    setView(about - clamped * aboutX / width_, clamped);
}

StripAction TimelineStrip::pointer(const PointerEvent& event, bool shift, const TimelineArray& timeline)
{
    StripAction action;
    const double ms = std::clamp(msAt(event.x), 0.0, showEnd_);
    switch (event.kind) {
    case PointerEvent::Kind::Press: {
        if (!contains(event.x, event.y) || drag_ != Drag::None)
            break;
        const int boundary = event.button == SDL_BUTTON_LEFT && event.clicks < 2 ? boundaryAt(event.x, timeline) : -1;
        if (event.button == SDL_BUTTON_RIGHT || (event.button == SDL_BUTTON_LEFT && shift)) {
            drag_ = Drag::Pan;
            panFromX_ = event.x;
            panFromStart_ = viewStart_;
        } else if (event.button == SDL_BUTTON_LEFT && event.clicks >= 2) {
            const int part = PositionAt(timeline, ms).part;
            if (part < timeline.size())
                action = StripAction{StripAction::Kind::JumpToPart, PartStart(timeline, part), part};
        } else if (boundary >= 0) {
            // Held on a boundary: the first move drags it; let go unmoved, a click seeks.
            drag_ = Drag::Boundary;
            dragged_ = boundary;
            moved_ = false;
            pressMs_ = ms;
        } else if (event.button == SDL_BUTTON_LEFT) {
            drag_ = Drag::Scrub;
            action = StripAction{StripAction::Kind::ScrubStart, ms, 0};
        }
        break;
    }
    case PointerEvent::Kind::Motion:
        if (drag_ == Drag::Scrub) {
            action = StripAction{StripAction::Kind::Scrub, ms, 0};
        } else if (drag_ == Drag::Boundary) {
            moved_ = true;
            action = StripAction{StripAction::Kind::MoveEnd, ms, dragged_};
        } else if (drag_ == Drag::Pan) {
            setView(panFromStart_ - (event.x - panFromX_) * (viewEnd_ - viewStart_) / width_, viewEnd_ - viewStart_);
        }
        break;
    case PointerEvent::Kind::Release:
        if (drag_ == Drag::Scrub && event.button == SDL_BUTTON_LEFT)
            action = StripAction{StripAction::Kind::ScrubEnd, ms, 0};
        if (drag_ == Drag::Boundary && event.button == SDL_BUTTON_LEFT)
            action = moved_ ? StripAction{StripAction::Kind::DropEnd, ms, dragged_}
                            : StripAction{StripAction::Kind::Seek, pressMs_, 0};
        if (drag_ != Drag::None && (event.button == SDL_BUTTON_LEFT || event.button == SDL_BUTTON_RIGHT)) {
            drag_ = Drag::None;
            dragged_ = -1;
        }
        break;
    case PointerEvent::Kind::Wheel:
        if (contains(event.x, event.y) && event.wheel != 0)
            zoom(event.x, event.wheel);
        break;
    }
    return action;
}

int TimelineStrip::boundaryAt(double x, const TimelineArray& timeline) const
{
    int nearest = -1;
    double distance = BoundaryReach;
    ForShownParts(timeline, [&](int part, double start, double end) {
        if (start > viewEnd_)
            return false;
        const double from = std::abs(xAt(end) - x);
        if (from <= distance) {
            distance = from;
            nearest = part;
        }
        return true;
    });
    return nearest;
}

void TimelineStrip::drawParts(const TimelineArray& timeline, const StatusBar& font) const
{
    const float bottom = static_cast<float>(bottom_);
    const float top = bottom + height_;
    const float baseline = top - static_cast<float>(font.ascent()) - 2.0f;
    int shown = 0;
    // Parts start in clock order: the blocks past the stretch shown end the pass.
    ForShownParts(timeline, [&](int part, double start, double end) {
        if (start >= viewEnd_)
            return false;
        const double left = std::max(0.0, xAt(start));
        const double right = std::min(double(width_), xAt(end));
        if (right > left) {
            DrawScreenStrip(static_cast<float>(left), bottom, static_cast<float>(right), top, BlockColours[shown % 2]);
            char label[16];
            std::snprintf(label, sizeof label, "%d", part + 1);
            if (right - left > font.textWidth(label) + 4.0)
                font.drawText(static_cast<float>(left) + 3.0f, baseline, label, LabelColour);
        }
        ++shown;
        return true;
    });
}

void TimelineStrip::drawBeats(const BeatGrid& beats) const
{
    if (!HasBeats(beats))
        return;
    const double pixelsPerBeat = BeatMs(beats) * width_ / (viewEnd_ - viewStart_);
    const int step = pixelsPerBeat >= SparsestLinePixels ? 1 : BeatsPerBar;
    if (pixelsPerBeat * step < SparsestLinePixels)
        return;
    const float bottom = static_cast<float>(bottom_);
    const float top = bottom + height_;
    long long beat = static_cast<long long>(std::floor((viewStart_ - beats.offsetMs) / BeatMs(beats)));
    beat -= ((beat % step) + step) % step;
    for (; BeatTime(beats, beat) <= viewEnd_; beat += step) {
        const float x = static_cast<float>(xAt(BeatTime(beats, beat)));
        const bool bar = ((beat % BeatsPerBar) + BeatsPerBar) % BeatsPerBar == 0;
        DrawScreenStrip(x, bottom, x + (bar ? 2.0f : 1.0f), top, bar ? BarColour : BeatColour);
    }
}

// The boundary being dragged, and its time (with a beat grid, its bar and beat) beside it.
void TimelineStrip::drawDragged(const TimelineArray& timeline, const BeatGrid& beats, const StatusBar& font) const
{
    if (dragged_ < 0 || dragged_ >= timeline.size())
        return;
    const int ms = timeline[dragged_].endTime;
    const float x = static_cast<float>(xAt(ms));
    const float bottom = static_cast<float>(bottom_);
    const float top = bottom + height_;
    DrawScreenStrip(x - 1.5f, bottom, x + 1.5f, top, DraggedColour);
    char label[48];
    FormatClock(label, sizeof label, ms);
    const size_t length = std::strlen(label);
    if (HasBeats(beats)) {
        long long bar = 0;
        int beat = 0;
        BarBeatAt(beats, ms + 0.5, bar, beat);
        std::snprintf(label + length, sizeof label - length, "  bar %lld.%d", bar, beat);
    }
    const float width = static_cast<float>(font.textWidth(label));
    // Right of the line, or left of it near the strip's right end.
    const float left = x + 4.0f + width < width_ ? x + 4.0f : x - 4.0f - width;
    const float baseline = bottom + 4.0f;
    DrawScreenStrip(left - 2.0f, bottom + 1.0f, left + width + 2.0f, baseline + font.ascent() + 2.0f, Backing);
    font.drawText(left, baseline, label, DraggedColour);
}

void TimelineStrip::draw(int width, int height, const Waveform& waveform, const StripMarks& marks,
    const StatusBar& font)
{
    BeginScreenText(width, height);
    const float bottom = static_cast<float>(bottom_);
    const float top = bottom + height_;
    DrawScreenStrip(0.0f, bottom, static_cast<float>(width_), top, Backing);
    if (marks.timeline)
        drawParts(*marks.timeline, font);

    const int count = std::min(width_, MostColumns);
    waveform.columns(viewStart_, viewEnd_, count, peak_.data(), rms_.data());
    const float half = height_ * 0.5f - 2.0f;
    for (int c = 0; c < count; ++c) {
        peak_[c] *= half;
        rms_[c] *= half;
    }
    const float centre = bottom + height_ * 0.5f;
    DrawScreenColumns(0.0f, centre, peak_.data(), count, PeakColour);
    DrawScreenColumns(0.0f, centre, rms_.data(), count, RmsColour);
    drawBeats(marks.beats);

    if (marks.looping) {
        const float x = static_cast<float>(xAt(showEnd_));
        DrawScreenStrip(x - 2.0f, bottom, x, top, LoopColour);
    }
    if (drag_ == Drag::Boundary && moved_ && marks.timeline)
        drawDragged(*marks.timeline, marks.beats, font);
    const float playhead = static_cast<float>(xAt(marks.clockMs));
    DrawScreenStrip(playhead - 1.0f, bottom, playhead + 1.0f, top, PlayheadColour);
    EndScreenText();
}
