// The maker's edits of a show's timeline in author mode: end times moved, parts cut and
// joined, cameras and pictures chosen. Each edit is a step that can be undone and redone,
// and the edits are written back over the script they were made to, changing only the
// lines they changed. Plain code over the show's timeline; it draws and saves nothing.
#pragma once

#include "demo/script_parser.h"
#include "demo/script_writer.h"
#include "demo/timeline.h"

#include <deque>
#include <string>
#include <vector>

// The names of a part the maker chooses.
enum class PartName { Camera, Background, Overlay };

class TimelineEdits {
public:
    // Undo reaches back this many steps; older ones are forgotten.
    static constexpr int MostSteps = 1000;

    // Edits timeline, which must outlive the edits.
    explicit TimelineEdits(TimelineArray& timeline);

    // script is the text timeline was read from: the edits count from it and are written over
    // it, and the history starts empty.
    void start(std::string script);

    // The edits, one step each. Each returns false, changing nothing, when part is not a part
    // of the timeline or the edit would leave it as it is.
    // part ends at endMs.
    bool setEnd(int part, int endMs);
    // part ends at atMs, and a copy of it through camera (its own camera when empty) follows
    // it, ending where part ended.
    bool cut(int part, int atMs, const std::string& camera = std::string());
    // part and the part after it become one part, ending where the later of the two ends.
    bool join(int part);
    bool setName(int part, PartName which, const std::string& name);

    // A boundary dragged: part's end follows the pointer without making steps, and becomes
    // one step when the drag ends. Another edit, an undo or a redo ends the drag first.
    void dragEnd(int part, int endMs);
    // Ends the drag; true when it made a step.
    bool endDrag();

    bool undo();
    bool redo();
    int undoSteps() const { return done_; }
    // True while the timeline is not the one of the script last started from or saved.
    bool unsaved() const;

    // The script started from with the edits written in: the script itself when there are
    // none. Written from the script started from whatever was saved since, so that undoing
    // every edit writes it back byte for byte.
    std::string script() const;
    // script() was saved as script.txt: the timeline is saved as it is now.
    void saved();
    // The script edits are counted from, and its plan.
    const std::string& base() const { return base_; }
    const ShowPlan& plan() const { return plan_; }

private:
    // What a part is beside its entry: its part in the script (or -1), and for a part cut
    // from another, the lines of the part it was cut from.
    struct PartInfo {
        int scriptPart = -1;
        PartLines style;
    };
    struct Change {
        enum class Kind { Set, Insert, Remove };
        Kind kind = Kind::Set;
        int index = 0;
        int id = 0;
        TimelineEntry before;
        TimelineEntry after;
    };
    struct Step {
        std::vector<Change> changes;
        long long serial = 0;
    };

    void apply(const Change& change, bool forward);
    void record(std::vector<Change> changes);
    long long serialNow() const;
    PartLines styleOf(int id) const;
    void insertPart(int index, const TimelineEntry& entry, int id);
    void removePart(int index);

    TimelineArray& timeline_;
    std::vector<int> ids_; // beside each part of the timeline
    std::vector<PartInfo> infos_; // by id
    std::string base_;
    ShowPlan plan_;
    ScriptLines lines_{std::string_view()}; // of base_
    bool separated_ = false; // the script's parts are separated by empty lines
    std::deque<Step> steps_;
    int done_ = 0;
    long long serial_ = 0;
    long long forgotten_ = 0; // serial of the last step forgotten
    long long savedSerial_ = 0;
    int dragged_ = -1;
    int dragFrom_ = 0;
};
