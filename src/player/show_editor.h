// Author mode's editing of the show: the edit keys and the dragged boundaries made into
// edits of the timeline (snapped to the beat grid unless the maker holds Alt), saving the
// script, and the script changing on disk while edits are not saved. Every message is
// printed on standard error and kept for the status bar.
#pragma once

#include "player/author_clock.h"
#include "player/beat_grid.h"
#include "player/timeline_edits.h"

#include <string>
#include <vector>

class Scene;
class Show;
class ShowWatch;
struct StripAction;

class ShowEditor {
public:
    // Edits show's timeline, counting from script, the text it was loaded from; watch (may be
    // null) is told what is saved and holds the script while edits are not saved.
    ShowEditor(Show& show, const BeatGrid& beats, ShowWatch* watch, std::string script);

    // One edit key (Cut to LiveCut; digit 1 to 9 for LiveCut) with the playhead at ms;
    // shift: Shift held, free: Alt held. Returns true when the timeline changed.
    bool press(AuthorKey key, int digit, double ms, bool shift, bool free);
    // Ctrl+Z (Ctrl+Shift+Z redoes) and Ctrl+Y. Returns true when the timeline changed.
    bool undo(bool redo);
    // A boundary dragged on the strip (MoveEnd, DropEnd). Returns true when the timeline
    // changed; dropped is set when the drag ended.
    bool drag(const StripAction& action, bool free, bool& dropped);
    // Ctrl+S: writes script.txt, then checks the show saved, into problems. Returns false
    // (problems untouched) when it is not saved (the edits stay then) or holds the edits
    // already.
    bool save(std::vector<std::string>& problems);
    // Before the watch polls: it holds the script while there are unsaved edits.
    void holdScript();
    // After the watch reloaded: a change of script.txt waiting is told once, and when it
    // loaded another script.txt, the edits start from it.
    void followWatch();

    bool unsaved() const { return edits_.unsaved(); }
    const TimelineEdits& edits() const { return edits_; }
    // Shown above the problems while a change of script.txt waits for the edits; empty
    // otherwise.
    const std::string& waitingLine() const { return waitingLine_; }
    // Prints message and keeps it as the last one.
    void say(const std::string& message);
    // The last message, and a count that changes with each one.
    const std::string& message() const { return message_; }
    int messages() const { return messages_; }

private:
    int snapped(double ms, bool free) const;
    bool cutAt(int part, double ms, bool free, const std::string& camera);
    bool stepName(int part, PartName which, int direction);
    bool stepCamera(int part, int direction);
    void listTextures();
    void checkBase();

    Show& show_;
    BeatGrid beats_;
    ShowWatch* watch_;
    TimelineEdits edits_;
    std::vector<std::string> textures_; // "standard", then the show's textures in listing order
    std::string onDisk_; // script.txt as loaded or saved last
    bool baseKnown_ = false; // the base script reads as the timeline did at the start
    std::string waitingLine_;
    std::string message_;
    int messages_ = 0;
};

// The names of the cameras of scene that a part can look through, in pre-order: each one
// the first node whose name holds its own.
std::vector<std::string> SceneCameras(Scene& scene);
