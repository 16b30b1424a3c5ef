#include "demo/check.h"

#include "audio/mp3_decoder.h"
#include "common/data_file.h"
#include "common/nearest_names.h"
#include "common/printable_text.h"
#include "common/show_archive.h"
#include "demo/load_report.h"
#include "demo/part_timing.h"
#include "demo/script_parser.h"
#include "graph/camera_node.h"
#include "graph/node.h"
#include "image/image_limits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <string_view>

namespace {

const char* const ScriptName = "script.txt";

// A number as messages give it: 0.1, 10000.
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The part of a line between its first '[' and the next ']' (or the line's end), with the
// brackets; empty when the line, past leading white space, does not start with '['.
std::string headerIn(const std::string& line)
{
    const size_t open = line.find_first_not_of(" \t\r");
    if (open == std::string::npos || line[open] != '[')
        return {};
    const size_t close = line.find(']', open);
    return line.substr(open, close == std::string::npos ? std::string::npos : close - open + 1);
}

class Checker {
public:
    // Takes what loaded holds of a file instead of reading it, when loaded is given.
    Checker(const DataFolder& folder, const LoadReport* loaded, long long textureMemory)
        : folder_(folder), loaded_(loaded), budget_(textureMemory)
    {
    }

    std::vector<CheckProblem> problems;

    void run()
    {
        // What an archive's headers refused or showed damaged, before anything is read; a
        // file the script names then gives the same line, which is not repeated.
        if (const ShowArchive* archive = folder_.archive())
            for (const ArchiveNote& note : archive->notes()) {
                report(note.entry, note.problem);
                archiveNotes_.insert(note.entry + '\n' + note.problem);
            }
        std::vector<unsigned char> bytes;
        std::string problem;
        if (!folder_.readFile(ScriptName, ScriptFileLimit, bytes, problem)) {
            report(ScriptName, problem == "does not exist" ? "missing" : problem);
            return;
        }
        plan_ = ParseScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

        checkIgnoredLines();
        checkMusic();
        checkLoadingPicture();
        checkTextures();
        checkScenes();
        checkParts();
    }

private:
    void report(const std::string& file, const std::string& problem, int line = 0)
    {
        if (line == 0 && !archiveNotes_.empty() && archiveNotes_.count(file + '\n' + problem))
            return;
        problems.push_back({file, problem, line});
    }

    // Reports a file of a script entry that the show cannot open: missing, outside the
    // demo folder, not a regular file, too large. Returns whether it opened.
    bool reportOpened(const OpenedFile& file, const PlanEntry& entry)
    {
        if (file.error == DataFileError::Missing)
            report(file.path, namedAt(entry) + " but does not exist");
        else if (!file.opened)
            report(file.path, file.problem);
        return file.opened;
    }

    // Texture key's picture as loading decoded it, else as decoded now.
    PictureRead pictureOf(const std::string& key)
    {
        if (loaded_) {
            auto found = loaded_->textures.find(key);
            if (found != loaded_->textures.end())
                return found->second;
        }
        return ReadTexture(folder_, key, budget_);
    }

    // The scene of entry as loading read it, else as read now.
    SceneRead sceneOf(const PlanEntry& entry)
    {
        if (loaded_) {
            auto found = loaded_->scenes.find(entry.line);
            if (found != loaded_->scenes.end() && found->second.key == entry.key)
                return found->second;
        }
        return ReadScene(folder_, entry.key);
    }

    void checkMusic()
    {
        for (const PlanEntry& entry : plan_.entries) {
            if (entry.kind != EntryKind::Soundtrack)
                continue;
            if (headerInsideList(entry, "[mp3]"))
                continue;
            DataFile file = folder_.openFile("data\\" + entry.key, SoundtrackFileLimit);
            if (!file) {
                report(file.path, file.error == DataFileError::Missing ? namedAt(entry) + " but does not exist"
                                                                       : file.problem);
                continue;
            }
            const std::string path = file.path;
            Mp3Stream music;
            if (!music.open(std::move(file))) {
                report(path, "does not decode as MP3 (the show would play silently)");
                continue;
            }
            // The show's clock is the last stream that opened. Its length comes from the
            // frame headers, read without decoding the samples or holding them.
            if (music.length() >= 0)
                musicMs_ = music.length() * 1000 / music.rate();
        }
    }

    void checkTextures()
    {
        for (size_t order = 0; order < plan_.entries.size(); ++order) {
            const PlanEntry& entry = plan_.entries[order];
            if (entry.kind != EntryKind::Texture || headerInsideList(entry, "[textures]"))
                continue;
            const TexturePictures pictures = PicturesOf(entry.key);
            if (!pictures.any()) {
                report(ScriptName, "texture \"" + entry.key +
                    "\" names neither a .jpg nor a .png file; the show ignores it", entry.line);
                continue;
            }
            registeredAt_.emplace(entry.key, static_cast<int>(order));
            // A line listed again names the file of its first listing, which the show
            // decodes once.
            auto listed = pictures_.try_emplace(entry.key);
            if (listed.second)
                listed.first->second = pictureOf(entry.key);
            const PictureRead& read = listed.first->second;
            if (!reportOpened(read.file, entry) || !entry.firstListing)
                continue;
            checkImage(read.file.path, read, pictures.png ? "PNG" : "JPEG", "the texture would be empty");
        }
    }

    // The picture drawn while the show loads, before any texture. Without one the
    // loading frame is plain white, which a show may well mean: a missing file is no
    // problem, a present one the show cannot draw is.
    void checkLoadingPicture()
    {
        const char* const effect = "the loading frame would be plain white";
        const bool loaded = loaded_ && loaded_->loadingPicture;
        const PictureRead read = loaded ? *loaded_->loadingPicture : ReadTexture(folder_, "Loading.jpg", budget_);
        if (read.file.error == DataFileError::Missing)
            return;
        if (!read.file.opened) {
            report(read.file.path, "refused: " + read.file.problem + " (" + effect + ")");
            return;
        }
        checkImage(read.file.path, read, "JPEG", effect);
    }

    // Reports a decoded picture that is refused, empty or incomplete; effect says what
    // the show would draw instead.
    void checkImage(const std::string& path, const PictureRead& image, const char* kind, const char* effect)
    {
        if (!image.refusal.empty())
            report(path, "refused: " + image.refusal + " (" + effect + ")");
        else if (!image.decoded)
            report(path, std::string("does not decode as ") + kind + " (" + effect + ")");
        else if (!image.complete)
            report(path, std::string("is damaged: the ") + kind + " decodes only part-way");
    }

    void checkScenes()
    {
        for (size_t order = 0; order < plan_.entries.size(); ++order) {
            const PlanEntry& entry = plan_.entries[order];
            if (entry.kind != EntryKind::Scene || headerInsideList(entry, "[scenes]"))
                continue;
            SceneRead scene = sceneOf(entry);
            if (reportOpened(scene.file, entry)) {
                const std::string& path = scene.file.path;
                if (scene.failed)
                    report(path, "damaged: reading stopped at byte " + std::to_string(scene.failedOffset));
                reportNotes(scene);
                checkMaterials(scene, static_cast<int>(order));
            }
            scenes_[entry.key] = std::move(scene);
        }
    }

    // What the reader passed over without stopping: each note names its node and byte.
    void reportNotes(const SceneRead& scene)
    {
        const std::string& path = scene.file.path;
        for (const SceneNote& note : scene.notes) {
            std::string node = note.node.empty() ? std::string() : "node \"" + note.node + "\": ";
            report(path, node + note.problem + ", at byte " + std::to_string(note.offset));
        }
        if (scene.noteCount > scene.notes.size())
            report(path, "and " + std::to_string(scene.noteCount - scene.notes.size()) +
                             " more such problems");
    }

    // Only the surface and environment maps are drawn; each must name a texture the
    // script lists before the scene, or the faces are drawn untextured.
    void checkMaterials(const SceneRead& scene, int sceneOrder)
    {
        for (const MapRead& map : scene.maps) {
            int at = -1;
            for (const std::string& name : map.keys) {
                auto found = registeredAt_.find(name);
                if (found != registeredAt_.end()) {
                    at = found->second;
                    break;
                }
            }
            const std::string what = "material \"" + map.material + "\": map \"" + map.mapFile + "\"";
            if (at < 0)
                report(scene.file.path, what + " resolves to no texture listed in script.txt");
            else if (at > sceneOrder)
                report(scene.file.path, what + " names a texture listed after this scene in script.txt");
        }
    }

    // The lines of the script the show reads past without a word: an unknown header and
    // the lines right under it (they open nothing either), or text outside any section.
    void checkIgnoredLines()
    {
        static const std::vector<std::string> known(ScriptHeaders.begin(), ScriptHeaders.end());
        const std::vector<PlanStrayLine>& lines = plan_.strayLines;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string header = headerIn(lines[i].text);
            if (header.empty()) {
                report(ScriptName, "text outside any section: \"" + lines[i].text + "\" is ignored", lines[i].line);
                continue;
            }
            size_t under = 0;
            while (i + under + 1 < lines.size()) {
                const PlanStrayLine& next = lines[i + under + 1];
                if (next.line != lines[i].line + int(under) + 1 || !headerIn(next.text).empty())
                    break;
                ++under;
            }
            std::string problem = "unknown header \"" + header + "\"";
            const std::vector<std::string> nearest = NearestNames(header, known, 1);
            if (!nearest.empty())
                problem += " (did you mean " + nearest[0] + "?)";
            problem += under == 0 ? "; the show ignores it"
                                  : "; the show ignores it and the " + std::to_string(under) + " line" +
                                        (under == 1 ? "" : "s") + " under it";
            report(ScriptName, problem, lines[i].line);
            i += under;
        }
        if (plan_.moreStrayLines > 0)
            report(ScriptName, "and " + std::to_string(plan_.moreStrayLines) +
                                   " more lines from here on that the show ignores", plan_.firstMoreStrayLine);
    }

    // Reports an entry that holds a section header, which the list it follows takes as
    // one more entry; true when it does.
    bool headerInsideList(const PlanEntry& entry, const char* list)
    {
        const char* header = HeaderHeldBy(entry.key);
        if (!header)
            return false;
        report(ScriptName, std::string(header) + " is read as an entry of the " + list +
                               " list above it, and opens nothing: end that list with an empty line", entry.line);
        return true;
    }

    // "named in script.txt:LINE", for problems with a file a script line names.
    static std::string namedAt(const PlanEntry& entry)
    {
        return std::string("named in ") + ScriptName + ":" + std::to_string(entry.line);
    }

    // A part's lines follow its [part] line: scene, end time, camera, background, overlay.
    enum PartLine { SceneLine = 1, EndLine, CameraLine, BackgroundLine, OverlayLine };

    void checkParts()
    {
        for (int i = 0; i < plan_.parts.size(); ++i) {
            const TimelineEntry& part = plan_.parts[i];
            const int header = plan_.partLines[static_cast<size_t>(i)];
            const std::string where = "part " + std::to_string(i + 1) + ": ";
            auto scene = scenes_.find(part.sceneName);
            if (scene == scenes_.end()) {
                report(ScriptName, where + "scene \"" + part.sceneName + "\" is not listed under [scenes]",
                       header + SceneLine);
            } else if (scene->second.file.opened) {
                checkCamera(scene->second, i, where, header + CameraLine);
            }
            const int imageLines[] = {header + BackgroundLine, header + OverlayLine};
            const std::string* images[] = {&part.backgroundName, &part.overlayName};
            for (int k = 0; k < 2; ++k) {
                if (*images[k] != "standard" && registeredAt_.find(*images[k]) == registeredAt_.end())
                    report(ScriptName, where + "image \"" + *images[k] + "\" is not listed under [textures]",
                           imageLines[k]);
            }
            if (EndsByPreviousEnd(plan_.parts, i))
                report(ScriptName, where + "end time " + std::to_string(part.endTime) +
                    " ms does not come after the previous part's; the part is never shown", header + EndLine);
            if (musicMs_ >= 0 && part.endTime >= musicMs_)
                report(ScriptName, where + "ends at " + std::to_string(part.endTime) + " ms, after the music (" +
                    std::to_string(musicMs_) + " ms); the show would wait there until Escape", header + EndLine);
        }
    }

    void checkCamera(const SceneRead& scene, int index, const std::string& where, int line)
    {
        const TimelineEntry& part = plan_.parts[index];
        // The first node in pre-order whose name holds the camera name, as the show finds it.
        const NodeRead* found = nullptr;
        for (const NodeRead& node : scene.nodes) {
            if (node.name.find(part.cameraName) != std::string::npos) {
                found = &node;
                break;
            }
        }
        if (!found)
            report(ScriptName, where + "camera \"" + part.cameraName + "\" matches no node of " + part.sceneName +
                cameraSuggestion(scene, part.cameraName), line);
        else if (found->kind != NodeKind::Camera)
            report(ScriptName, where + "camera \"" + part.cameraName + "\" first matches the " +
                NodeKindName(found->kind) + " node \"" + found->name + "\" of " + part.sceneName + ", not a camera",
                line);
        else if (checkedCameras_.insert(found).second)
            checkView(*found, scene.file.path);
        if (found && found->kind == NodeKind::Camera && found->faults.seesNothing && PartIsShown(plan_.parts, index))
            report(ScriptName, where + "camera \"" + part.cameraName + "\" sees no vertex of " + part.sceneName +
                " between the near plane (" + number(NearPlane) + ") and the far plane (" + number(FarPlane) +
                ") within its field of view, at frame 0 or at any of its keys; the part is black from " +
                number(PartStart(plan_.parts, index)) + " to " + std::to_string(part.endTime) + " ms", line);
    }

    // "; nearest camera names: ..." for a camera name that matches nothing: the scene's
    // camera nodes nearest in spelling, or all its cameras when none is near.
    static std::string cameraSuggestion(const SceneRead& scene, const std::string& name)
    {
        std::vector<std::string> cameras;
        for (const NodeRead& node : scene.nodes)
            if (node.kind == NodeKind::Camera)
                cameras.push_back(node.name);
        if (cameras.empty())
            return "; the scene has no camera node";
        std::vector<std::string> nearest = NearestNames(name, cameras, 3);
        const bool near = !nearest.empty();
        if (!near)
            nearest.assign(cameras.begin(), cameras.begin() + std::min<size_t>(cameras.size(), 3));
        std::string text = near ? "; did you mean " : "; its cameras are ";
        for (size_t i = 0; i < nearest.size(); ++i)
            text += (i == 0 ? "\"" : i + 1 == nearest.size() ? " or \"" : ", \"") + nearest[i] + "\"";
        if (!near && cameras.size() > nearest.size())
            text += " and " + std::to_string(cameras.size() - nearest.size()) + " more";
        return near ? text + "?" : text;
    }

    // A camera the parts view through that would draw nothing at some frame.
    void checkView(const NodeRead& camera, const std::string& path)
    {
        const std::string node = "camera \"" + camera.name + "\": ";
        const CameraFaults& faults = camera.faults;
        if (faults.noTarget)
            report(path, node + "no target node of the same name beside it; the scene draws nothing through it");
        if (faults.targetAtEye)
            report(path, node + "its target sits at the eye at frame " + std::to_string(faults.targetAtEyeFrame) +
                             "; the picture is black there");
        if (faults.fieldOfViewUnusable) {
            const double degrees = faults.fieldOfViewDegrees;
            const std::string value = std::isnan(degrees) ? "not a number" : std::isinf(degrees) ? "infinite" : "0";
            report(path, node + "field of view is " + value + " at frame " +
                             std::to_string(faults.fieldOfViewFrame) + "; the picture is black there");
        }
    }

    const DataFolder& folder_;
    const LoadReport* loaded_;
    ShowPlan plan_;
    // The show's texture memory, taken as the show would take it.
    ImageBudget budget_;
    std::map<std::string, int> registeredAt_;
    std::map<std::string, PictureRead> pictures_;
    std::map<std::string, SceneRead> scenes_;
    std::set<const NodeRead*> checkedCameras_;
    long long musicMs_ = -1;
    std::set<std::string> archiveNotes_; // "entry\nproblem" of each archive note reported
};

} // namespace

std::vector<CheckProblem> CheckDemoFolder(const DataFolder& folder, long long textureMemory)
{
    Checker checker(folder, nullptr, textureMemory);
    checker.run();
    return checker.problems;
}

std::vector<CheckProblem> CheckDemoFolder(const DataFolder& folder, const LoadReport& loaded, long long textureMemory)
{
    Checker checker(folder, &loaded, textureMemory);
    checker.run();
    return checker.problems;
}

std::string CheckProblemLine(const CheckProblem& problem)
{
    const std::string line = problem.line > 0 ? ":" + std::to_string(problem.line) : std::string();
    return PrintableText(problem.file) + line + ": " + PrintableText(problem.problem);
}

int ReportCheck(const std::vector<CheckProblem>& problems, const std::string& folder)
{
    // Names come from the folder and may hold terminal escape sequences.
    const std::string where = PrintableText(folder);
    for (const CheckProblem& p : problems)
        std::printf("%s\n", CheckProblemLine(p).c_str());
    if (problems.empty())
        std::printf("%s: no problems found\n", where.c_str());
    else
        std::printf("%s: %zu problem%s found\n", where.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
    return problems.empty() ? 0 : 1;
}
