// LiveReload: the show's files loaded again while it plays, as an author saves them.
#pragma once

#include "desktop/file_watch.h"

#include <string>
#include <vector>

class Show;
struct ShowPlan;
struct SoundStream;

// Watches a show's folder and, once a frame, loads again what changed on disk into the
// show's registries and timeline: a scene alone, a picture into the texture it was
// uploaded to (same id, so materials keep drawing with it), the soundtrack into a new
// stream at the same play position, and, when script.txt changes, only what differs
// between the show planned before and the one planned now. A file that fails to load
// leaves the version loaded before in place and is listed in problems() until it loads.
// Needs the show's OpenGL context current in poll.
class LiveReload {
public:
    // Watches script.txt and data/ under the folder of show, which LoadScript filled and
    // which must outlive the watch, and reads the script to learn which files the show
    // uses; a show read from an archive is reopened and loaded again as for a new script
    // whenever the archive file changes. Returns false when it cannot watch at all (the
    // folder is not a readable folder).
    bool start(Show& show);

    // Once per frame: loads again what changed since the last call. stream is the playing
    // soundtrack; when the MP3 changes (and opens whole) the old stream is closed and stream
    // becomes a new one, set to the old one's play position but not started: the caller
    // plays it, or holds it while the show is paused. Returns true when anything was loaded
    // again (the timeline, a scene, a picture or the stream may have changed) or problems()
    // changed, a failed load included. Returns false at once, without allocating, when
    // nothing changed.
    bool poll(SoundStream*& stream);

    // While held, a change of script.txt is not loaded (the maker has edits of the timeline
    // that are not saved); poll says it once, and scriptWaiting() stays true until the hold
    // ends, when the next poll loads the script as it is then. A change that leaves the
    // script as it was last loaded or saved is no change.
    void holdScript(bool held) { held_ = held; }
    bool scriptWaiting() const { return scriptWaiting_; }
    // The script the timeline was last loaded from, or saved by the maker as text.
    const std::string& script() const { return script_; }
    void scriptSaved(std::string text);

    // What went wrong in the reloads so far, one line each naming the file, for the files
    // that are still failing; empty once every file that failed has loaded.
    const std::vector<std::string>& problems() const { return problems_; }

private:
    enum class Kind { Texture, Scene };
    // A file the script names: its registry key, its path relative to the folder as the
    // watcher reports it but lower-cased, and its place among the script's entries (a
    // scene finds the textures listed before it).
    struct Use {
        Kind kind;
        std::string key;
        std::string file;
        int order;
    };
    static std::vector<Use> usesOf(const ShowPlan& plan);
    static const Use* findUse(const std::vector<Use>& uses, Kind kind, const std::string& key);
    static std::vector<std::string> texturesBefore(const std::vector<Use>& uses, const Use& scene);
    bool changed(const std::string& file) const;

    bool scriptUnchanged() const;
    bool waitWithScript();
    bool reopenArchive();
    bool reloadScript(SoundStream*& stream, bool everything);
    void keepTextures(const std::vector<Use>& uses, bool everything);
    bool reloadTexture(const Use& use);
    bool reloadScene(const Use& use);
    bool reloadSoundtrack(SoundStream*& stream);
    void setProblem(const std::string& file, const std::string& problem);
    void clearProblem(const std::string& file);

    Show* show_ = nullptr;
    FileWatch watch_;
    std::string archiveName_; // the archive's file name in the folder watched; empty for a folder
    std::vector<Use> uses_;
    std::vector<std::string> changed_;
    // One problem per file, in the order they arose: the lower-cased file, and the line.
    std::vector<std::string> problemFiles_;
    std::vector<std::string> problems_;
    bool problemsChanged_ = false;
    std::string script_;
    bool held_ = false;
    bool scriptWaiting_ = false;
};
