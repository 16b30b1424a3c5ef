#include "player/live_reload.h"

#include "common/ascii_case.h"
#include "common/data_file.h"
#include "demo/part_timing.h"
#include "demo/script_parser.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/shell_state.h"
#include "desktop/sound.h"
#include "image/texture.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <utility>

namespace {

const char* const ScriptFile = "script.txt";

std::string dataPath(const DataFolder& folder, const std::string& key) { return folder.resolve("data\\" + key); }

// The file a script line names, as the watcher would report it, lower-cased: names are
// found in any letter case, so any case of it on disk is the same file.
std::string useFile(const std::string& key)
{
    std::string file = "data/" + key;
    for (char& c : file)
        if (c == '\\')
            c = '/';
    return LowerCase(file);
}

// Decodes the picture a texture line names into texture, as the script's loading builds it
// (a line naming both kinds keeps the PNG). Returns false with problem set on failure.
bool replacePicture(const Show& show, GLuint texture, const std::string& key, std::string& problem)
{
    const std::string path = dataPath(show.folder(), key);
    if (PicturesOf(key).png)
        return ReplacePngTexture(texture, path, true, show.TextureBudget, problem, show.folder());
    return ReplaceJpegTexture(texture, path, true, show.TextureBudget, problem, show.folder());
}

// Loads the scene file a scene line names. Returns null with problem set when it cannot be
// opened or is damaged: loading during playback tolerates damage, but a file caught while
// it is being written reads as damaged, and must not replace the scene on screen. The
// damaged scene is handed back in damaged all the same, for a name that has no scene yet.
// Its materials find their textures in textures; its display lists go to the current context.
std::unique_ptr<Scene> loadScene(const DataFolder& folder, const std::string& key, const TextureLookup& textures,
    std::string& problem, std::unique_ptr<Scene>& damaged)
{
    const std::string path = dataPath(folder, key);
    auto scene = std::make_unique<Scene>();
    if (scene->loadFile(path.c_str(), textures, folder) != 0) {
        const DataFile file = folder.openFile(path, SceneFileLimit);
        problem = file ? std::string("cannot be opened") : file.problem;
        return nullptr;
    }
    scene->upload();
    if (scene->reader->failed()) {
        problem = "is damaged or cut short at byte " + std::to_string(scene->reader->failedOffset()) +
            " (a file still being written reads so)";
        damaged = std::move(scene);
        return nullptr;
    }
    return scene;
}

// What is shown instead of a scene that failed to load.
const char* sceneFallback(bool loadedBefore, bool damaged)
{
    if (loadedBefore)
        return "; the scene loaded before stays";
    return damaged ? "; the part shows what could be read" : "; the part shows no scene";
}

// Makes the scene view through the camera of the first part that shows it, as a frame of
// that part would.
void selectPartCamera(const TimelineArray& timeline, const std::string& key, Scene& scene)
{
    const int part = FirstPartOfScene(timeline, key);
    if (part < timeline.size())
        SelectCamera(scene, timeline[part].cameraName);
}

} // namespace

// The files a plan names: each texture built once, at its first listing, and each scene at
// its last listing, where it is loaded last and finds the textures listed before it.
std::vector<LiveReload::Use> LiveReload::usesOf(const ShowPlan& plan)
{
    std::vector<Use> uses;
    for (size_t order = 0; order < plan.entries.size(); ++order) {
        const PlanEntry& entry = plan.entries[order];
        const int at = static_cast<int>(order);
        if (entry.kind == EntryKind::Texture && entry.firstListing && PicturesOf(entry.key).any())
            uses.push_back(Use{Kind::Texture, entry.key, useFile(entry.key), at});
        if (entry.kind != EntryKind::Scene)
            continue;
        if (entry.firstListing) {
            uses.push_back(Use{Kind::Scene, entry.key, useFile(entry.key), at});
            continue;
        }
        for (Use& use : uses)
            if (use.kind == Kind::Scene && use.key == entry.key)
                use.order = at;
    }
    return uses;
}

const LiveReload::Use* LiveReload::findUse(const std::vector<Use>& uses, Kind kind, const std::string& key)
{
    for (const Use& use : uses)
        if (use.kind == kind && use.key == key)
            return &use;
    return nullptr;
}

// The textures listed before a scene's use, in listing order: what its materials can find.
std::vector<std::string> LiveReload::texturesBefore(const std::vector<Use>& uses, const Use& scene)
{
    std::vector<std::string> keys;
    for (const Use& use : uses)
        if (use.kind == Kind::Texture && use.order < scene.order)
            keys.push_back(use.key);
    return keys;
}

bool LiveReload::changed(const std::string& file) const
{
    return std::find(changed_.begin(), changed_.end(), file) != changed_.end();
}

// Moves the textures the new uses still list into a registry of their own, keeping their
// ids, makes the ones new to the script, and decodes the pictures that are new or changed;
// the textures no longer listed are deleted with the old registry.
void LiveReload::keepTextures(const std::vector<Use>& uses, bool everything)
{
    Registry<TextureHandle> textures;
    for (const Use& use : uses) {
        if (use.kind != Kind::Texture)
            continue;
        TextureHandle* old = show_->TextureRegistry.find(use.key);
        const bool loadedBefore = old != nullptr;
        textures.store(use.key, old ? std::move(*old) : TextureHandle(NewTexture()));
        if (loadedBefore && !everything && !changed(use.file))
            continue;
        std::string problem;
        if (replacePicture(*show_, textures.find(use.key)->get(), use.key, problem))
            clearProblem(use.file);
        else
            setProblem(use.file, dataPath(show_->folder(), use.key) + ": " + problem +
                    (loadedBefore ? "; the picture loaded before stays" : "; it is drawn without a picture"));
    }
    std::swap(show_->TextureRegistry, textures);
}

bool LiveReload::start(Show& show)
{
    uses_.clear();
    problems_.clear();
    problemFiles_.clear();
    show_ = &show;
    const DataFolder& folder = show.folder();
    // An archive is watched as one file, in the folder it lies in.
    const std::string& root = folder.root();
    const size_t slash = root.find_last_of('/');
    archiveName_ = folder.archive() ? root.substr(slash + 1) : std::string();
    const std::string watched = folder.archive() ? (slash == 0 ? "/" : root.substr(0, slash)) : root;
    if (!watch_.start(watched.empty() ? "." : watched))
        return false;
    std::vector<unsigned char> bytes;
    std::string problem;
    script_.clear();
    scriptWaiting_ = false;
    if (folder.readFile(ScriptFile, ScriptFileLimit, bytes, problem)) {
        script_.assign(bytes.begin(), bytes.end());
        uses_ = usesOf(ParseScript(script_));
    }
    return true;
}

void LiveReload::scriptSaved(std::string text)
{
    script_ = std::move(text);
    scriptWaiting_ = false;
}

bool LiveReload::poll(SoundStream*& stream)
{
    const std::vector<std::string>& changed = watch_.poll();
    const bool released = scriptWaiting_ && !held_;
    if (changed.empty() && !watch_.lostEvents() && !released)
        return false;

    const bool everything = watch_.lostEvents();
    bool script = everything || released;
    changed_.clear();
    if (!archiveName_.empty()) {
        problemsChanged_ = false;
        for (const std::string& path : changed)
            script = script || path == archiveName_;
        if (script && held_)
            return waitWithScript();
        scriptWaiting_ = false;
        // Any entry may have changed while the script stayed as it was: everything is loaded again.
        return script && (reopenArchive() ? reloadScript(stream, true) || problemsChanged_ : problemsChanged_);
    }
    for (const std::string& path : changed) {
        changed_.push_back(LowerCase(path));
        if (changed_.back() == ScriptFile)
            script = true;
    }
    problemsChanged_ = false;
    // The maker's own save leaves the script as the timeline already is.
    if (script && !everything && !released && scriptUnchanged())
        script = false;
    if (script && held_) {
        // The pictures, scenes and music go on loading; the timeline stays the maker's.
        script = false;
        if (waitWithScript())
            problemsChanged_ = true;
    }
    if (script) {
        scriptWaiting_ = false;
        return reloadScript(stream, everything) || problemsChanged_;
    }

    // Pictures first: a scene loaded in the same round draws with them either way, as they
    // keep their ids.
    bool reloaded = false;
    for (const Use& use : uses_)
        for (const std::string& file : changed_)
            if (use.kind == Kind::Texture && use.file == file)
                reloaded = reloadTexture(use) || reloaded;
    for (const Use& use : uses_)
        for (const std::string& file : changed_)
            if (use.kind == Kind::Scene && use.file == file)
                reloaded = reloadScene(use) || reloaded;
    const std::string soundtrack = LowerCase(show_->SoundtrackPath);
    for (const std::string& file : changed_)
        if (!soundtrack.empty() && file == soundtrack)
            reloaded = reloadSoundtrack(stream) || reloaded;
    return reloaded || problemsChanged_;
}

// True when script.txt reads as the script loaded or saved last.
bool LiveReload::scriptUnchanged() const
{
    std::vector<unsigned char> bytes;
    std::string problem;
    return show_->folder().readFile(ScriptFile, ScriptFileLimit, bytes, problem) &&
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()) == script_;
}

// A change of the script while it is held: true when the maker was not told of one yet.
bool LiveReload::waitWithScript()
{
    if (scriptWaiting_)
        return false;
    scriptWaiting_ = true;
    return true;
}

bool LiveReload::reopenArchive()
{
    std::string problem;
    if (!show_->folder().reopen(problem)) {
        setProblem(archiveName_, archiveName_ + ": " + problem + "; the show loaded before plays on");
        return false;
    }
    clearProblem(archiveName_);
    return true;
}

bool LiveReload::reloadScript(SoundStream*& stream, bool everything)
{
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!show_->folder().readFile(ScriptFile, ScriptFileLimit, bytes, problem)) {
        setProblem(ScriptFile, std::string(ScriptFile) + ": " + problem + "; the show loaded before plays on");
        return false;
    }
    clearProblem(ScriptFile);
    script_.assign(bytes.begin(), bytes.end());
    ShowPlan plan = ParseScript(script_);
    std::vector<Use> uses = usesOf(plan);
    const PlanEntry* last = PlanSoundtrack(plan);
    const std::string soundtrack = last ? last->key : std::string();

    // Only what differs between the plan loaded before and the new one is loaded: a picture
    // or scene new to the script, one whose file changed in this round, and a scene whose
    // textures listed before it changed (its materials look them up by the listing).
    std::vector<size_t> scenes;
    for (size_t i = 0; i < uses.size(); ++i) {
        const Use* before = findUse(uses_, uses[i].kind, uses[i].key);
        if (uses[i].kind == Kind::Scene && (everything || !before || changed(uses[i].file) ||
                texturesBefore(uses_, *before) != texturesBefore(uses, uses[i])))
            scenes.push_back(i);
    }
    keepTextures(uses, everything);
    uses_ = std::move(uses);
    show_->Timeline = std::move(plan.parts);
    std::vector<std::string> unnamed;
    for (const auto& scene : show_->SceneRegistry)
        if (!findUse(uses_, Kind::Scene, scene.first))
            unnamed.push_back(scene.first);
    for (const std::string& name : unnamed)
        show_->SceneRegistry.remove(name);
    for (size_t i : scenes)
        reloadScene(uses_[i]);
    for (int i = 0; i < show_->Timeline.size(); ++i)
        if (std::unique_ptr<Scene>* scene = show_->SceneRegistry.find(show_->Timeline[i].sceneName))
            SelectCamera(**scene, show_->Timeline[i].cameraName);

    // Problems of files the script no longer names are gone with them.
    const std::string playing = LowerCase(show_->SoundtrackPath);
    for (size_t i = 0; i < problemFiles_.size();) {
        bool named = problemFiles_[i] == ScriptFile || problemFiles_[i] == playing;
        for (const Use& use : uses_)
            named = named || use.file == problemFiles_[i];
        if (named) {
            ++i;
        } else {
            problemFiles_.erase(problemFiles_.begin() + static_cast<long>(i));
            problems_.erase(problems_.begin() + static_cast<long>(i));
            problemsChanged_ = true;
        }
    }

    // The same soundtrack plays on; another one named now takes over at the same position.
    if (!soundtrack.empty() && dataPath(show_->folder(), soundtrack) != show_->SoundtrackPath) {
        const std::string previous = show_->SoundtrackPath;
        show_->SoundtrackPath = dataPath(show_->folder(), soundtrack);
        if (stream && !reloadSoundtrack(stream))
            show_->SoundtrackPath = previous;
    } else if (everything || changed(LowerCase(show_->SoundtrackPath))) {
        reloadSoundtrack(stream);
    }
    return true;
}

bool LiveReload::reloadTexture(const Use& use)
{
    const TextureHandle* texture = show_->TextureRegistry.find(use.key);
    if (!texture)
        return false;
    std::string problem;
    if (!replacePicture(*show_, texture->get(), use.key, problem)) {
        setProblem(use.file, dataPath(show_->folder(), use.key) + ": " + problem + "; the picture loaded before stays");
        return false;
    }
    clearProblem(use.file);
    return true;
}

bool LiveReload::reloadScene(const Use& use)
{
    // The scene finds only the textures listed before it, as when the script loaded.
    Registry<GLuint> listedBefore;
    for (const Use& texture : uses_)
        if (texture.kind == Kind::Texture && texture.order < use.order)
            if (const TextureHandle* id = show_->TextureRegistry.find(texture.key))
                listedBefore.store(texture.key, id->get());
    std::string problem;
    std::unique_ptr<Scene> damaged;
    std::unique_ptr<Scene> scene =
        loadScene(show_->folder(), use.key, RegistryTextureLookup(listedBefore), problem, damaged);

    if (!scene) {
        const bool loadedBefore = show_->SceneRegistry.find(use.key) != nullptr;
        setProblem(use.file, dataPath(show_->folder(), use.key) + ": " + problem +
                sceneFallback(loadedBefore, damaged != nullptr));
        // A name without a scene yet shows what could be read, as a fresh start would.
        if (damaged && !loadedBefore) {
            selectPartCamera(show_->Timeline, use.key, *damaged);
            show_->SceneRegistry.store(use.key, std::move(damaged));
            return true;
        }
        return false;
    }
    clearProblem(use.file);
    selectPartCamera(show_->Timeline, use.key, *scene);
    show_->SceneRegistry.store(use.key, std::move(scene));
    return true;
}

bool LiveReload::reloadSoundtrack(SoundStream*& stream)
{
    // Without sound the show keeps the tick count; a show that had no soundtrack to start
    // with keeps its clock too.
    if (NoSound != 0 || !stream)
        return false;
    const std::string file = LowerCase(show_->SoundtrackPath);
    SoundStream* fresh = SoundStreamOpen(show_->SoundtrackPath.c_str(), show_->folder());
    if (!fresh) {
        const DataFile opened = show_->folder().openFile(show_->SoundtrackPath, SoundtrackFileLimit);
        setProblem(file, show_->SoundtrackPath + ": " +
                (opened ? std::string("cannot be decoded as MP3 (damaged, or still being written)") : opened.problem) +
                "; the music loaded before plays on");
        return false;
    }
    const int position = SoundStreamGetTime(stream);
    SoundStreamSetPosition(fresh, position);
    // A file cut short while it is being written would move the clock to its end. (Frames
    // and milliseconds round apart by a millisecond.)
    if (SoundStreamGetTime(fresh) + 1 < position) {
        SoundStreamClose(fresh);
        setProblem(file, show_->SoundtrackPath + ": ends before the show's clock (" + std::to_string(position) +
                " ms); the music loaded before plays on");
        return false;
    }
    SoundStreamClose(stream);
    stream = fresh;
    clearProblem(file);
    return true;
}

void LiveReload::setProblem(const std::string& file, const std::string& problem)
{
    for (size_t i = 0; i < problemFiles_.size(); ++i) {
        if (problemFiles_[i] == file) {
            problemsChanged_ = problemsChanged_ || problems_[i] != problem;
            problems_[i] = problem;
            return;
        }
    }
    problemFiles_.push_back(file);
    problems_.push_back(problem);
    problemsChanged_ = true;
}

void LiveReload::clearProblem(const std::string& file)
{
    for (size_t i = 0; i < problemFiles_.size(); ++i) {
        if (problemFiles_[i] == file) {
            problemFiles_.erase(problemFiles_.begin() + static_cast<long>(i));
            problems_.erase(problems_.begin() + static_cast<long>(i));
            problemsChanged_ = true;
            return;
        }
    }
}
