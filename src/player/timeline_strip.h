// Author mode's timeline strip along the bottom of the window, above the status bar: the
// soundtrack's waveform, the parts as alternating numbered blocks, the beat grid, the
// playhead and the loop point, over a stretch of the show the maker zooms and pans with
// the mouse. Clicking seeks, dragging scrubs, a double click on a block jumps to its start,
// and a press near a boundary between blocks drags the end of the part before it.
#pragma once

#include "demo/timeline.h"
#include "desktop/window.h"
#include "player/beat_grid.h"

#include <vector>

class StatusBar;
class Waveform;

// What a pointer event on the strip asks of the transport.
struct StripAction {
    enum class Kind {
        None,
        ScrubStart, // the left button went down on the strip at ms: music muted, clock to ms
        Scrub,      // dragged to ms: the picture follows
        ScrubEnd,   // released at ms: the music resumes there if it played before
        JumpToPart, // double click on part's block: to its start, ms
        Seek,       // a click on a boundary, not dragged: the clock to ms
        MoveEnd,    // a boundary dragged: part's end to ms, while the button is down
        DropEnd,    // the boundary let go at ms
    };
    Kind kind = Kind::None;
    double ms = 0.0;
    int part = 0;
};

// What the strip draws besides the waveform.
struct StripMarks {
    const TimelineArray* timeline = nullptr;
    BeatGrid beats;
    double clockMs = 0.0; // the playhead
    bool looping = false; // the loop point at the show's end is drawn
};

class TimelineStrip {
public:
    // The narrowest stretch of show the strip zooms to.
    static constexpr double NarrowestMs = 2000.0;
    // Columns the strip keeps room for: wider windows draw wider columns.
    static constexpr int MostColumns = 8192;

    TimelineStrip();

    // Places the strip over the whole width of a width x height drawable, its bottom
    // bottom pixels up from the drawable's. Keeps the stretch shown.
    void place(int width, int height, int bottom);
    // The show's length: the strip shows all of it until zoomed, and keeps a zoomed
    // stretch inside it.
    void setShowEnd(double showEndMs);

    int height() const { return height_; }
    // True when the pointer at (x, y), y down from the drawable's top, is over the strip.
    bool contains(int x, int y) const;
    // Show time at column x, and the column of show time ms.
    double msAt(double x) const;
    double xAt(double ms) const;
    double viewStart() const { return viewStart_; }
    double viewEnd() const { return viewEnd_; }

    // A press of the left button this many pixels from a boundary or nearer drags it.
    static constexpr double BoundaryReach = 4.0;

    // Reacts to one pointer event (shift: Shift held). The wheel over the strip zooms about
    // the pointer, the right button or Shift with the left drags the stretch along.
    StripAction pointer(const PointerEvent& event, bool shift, const TimelineArray& timeline);

    // Draws the strip, placed in a width x height drawable, over a finished frame with the
    // status bar's font. Allocates nothing.
    void draw(int width, int height, const Waveform& waveform, const StripMarks& marks, const StatusBar& font);

private:
    void zoom(double aboutX, int notches);
    void setView(double start, double span);
    void drawParts(const TimelineArray& timeline, const StatusBar& font) const;
    void drawBeats(const BeatGrid& beats) const;
    void drawDragged(const TimelineArray& timeline, const BeatGrid& beats, const StatusBar& font) const;
    // The shown part whose end is nearest column x, within BoundaryReach; -1 for none.
    int boundaryAt(double x, const TimelineArray& timeline) const;

    enum class Drag { None, Scrub, Pan, Boundary };

    int width_ = 1;
    int drawableHeight_ = 1;
    int bottom_ = 0;
    int height_ = 48;
    double showEnd_ = 1000.0;
    double viewStart_ = 0.0;
    double viewEnd_ = 1000.0;
    bool zoomed_ = false;
    Drag drag_ = Drag::None;
    double panFromX_ = 0.0;
    double panFromStart_ = 0.0;
    int dragged_ = -1; // the part whose end is held, and dragged once moved
    bool moved_ = false;
    double pressMs_ = 0.0;
    std::vector<float> peak_;
    std::vector<float> rms_;
};
