#include "show_files.h"

#include "common/ascii_case.h"
#include "common/printable_text.h"
#include "demo/script_parser.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

namespace {

struct ScriptLines {
    std::vector<std::string> lines; // without their line feeds
    std::string newline = "\n";
    bool finalNewline = true;
};

ScriptLines splitLines(const std::string& text)
{
    ScriptLines s;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            s.lines.push_back(text.substr(start));
            s.finalNewline = false;
            break;
        }
        s.lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (!s.lines.empty() && !s.lines[0].empty() && s.lines[0].back() == '\r')
        s.newline = "\r\n";
    return s;
}

// True for a line that holds nothing but its carriage return, if any.
bool emptyLine(const std::string& line) { return line.empty() || line == "\r"; }

// Lines to add to a script: blocks to insert before the line at an index of
// ScriptLines::lines, and lines for the end.
struct ScriptAdditions {
    std::map<size_t, std::vector<std::string>> before;
    std::vector<std::string> atEnd;
};

// The first list of kind in the plan, or null.
const PlanList* firstList(const ShowPlan& plan, EntryKind kind)
{
    for (const PlanList& list : plan.lists)
        if (list.kind == kind)
            return &list;
    return nullptr;
}

// Lines of the plan count from 1, the index of a line in ScriptLines::lines from 0.
size_t indexOfLine(int line) { return size_t(line - 1); }

// The textures not listed yet go at the end of the texture list that comes before the scene
// list, or in a new list of their own ahead of the scene list (at the end when there is none).
void addTextures(const ShowPlan& plan, const std::vector<std::string>& textures, ScriptAdditions& additions)
{
    const PlanList* sceneList = firstList(plan, EntryKind::Scene);
    const PlanList* textureList = firstList(plan, EntryKind::Texture);
    if (textureList && sceneList && textureList->header > sceneList->header)
        textureList = nullptr;
    std::set<std::string> listed;
    for (const PlanEntry& entry : plan.entries)
        if (textureList && entry.line > textureList->header && entry.line < textureList->end)
            listed.insert(entry.key);
    std::vector<std::string> missing;
    for (const std::string& t : textures)
        if (!listed.count(LowerCase(t)))
            missing.push_back(t);
    if (missing.empty())
        return;
    if (textureList) {
        additions.before[indexOfLine(textureList->end)] = missing;
        return;
    }
    std::vector<std::string> block{"[textures]"};
    block.insert(block.end(), missing.begin(), missing.end());
    block.push_back("");
    if (sceneList)
        additions.before[indexOfLine(sceneList->header)] = block;
    else
        additions.atEnd = block;
}

// A scene not listed yet goes at the end of the first scene list, or in a new list at the end.
void addScene(const ShowPlan& plan, const std::string& sceneFile, ScriptAdditions& additions)
{
    for (const PlanEntry& entry : plan.entries)
        if (entry.kind == EntryKind::Scene && entry.key == LowerCase(sceneFile))
            return;
    const PlanList* sceneList = firstList(plan, EntryKind::Scene);
    if (sceneList) {
        additions.before[indexOfLine(sceneList->end)].push_back(sceneFile);
        return;
    }
    for (const std::string& line : {std::string("[scenes]"), sceneFile, std::string()})
        additions.atEnd.push_back(line);
}

// When no part shows the scene yet, one part per camera follows the script's last end time,
// each lasting partMs.
void addParts(const ShowPlan& plan, const std::string& sceneFile, const std::vector<std::string>& cameras,
              long long partMs, ScriptAdditions& additions)
{
    long long end = 0;
    for (const TimelineEntry& part : plan.parts) {
        if (part.sceneName == LowerCase(sceneFile))
            return;
        end = std::max(end, static_cast<long long>(part.endTime));
    }
    for (const std::string& camera : cameras) {
        end += partMs;
        for (const std::string& line : {std::string("[part]"), sceneFile, std::to_string(end), camera,
                                        std::string("standard"), std::string("standard"), std::string()})
            additions.atEnd.push_back(line);
    }
}

// The script's lines with the additions, each added line ending as the script's first line
// does; a last line without its line feed keeps going without one unless something follows.
std::string joinLines(const ScriptLines& s, const ScriptAdditions& additions)
{
    const std::vector<std::string>& lines = s.lines;
    std::string out;
    auto emit = [&](const std::string& line) { out += line + s.newline; };
    for (size_t i = 0; i <= lines.size(); ++i) {
        auto found = additions.before.find(i);
        if (found != additions.before.end())
            for (const std::string& line : found->second)
                emit(line);
        if (i < lines.size()) {
            out += lines[i];
            if (i + 1 < lines.size() || s.finalNewline || !additions.atEnd.empty() ||
                additions.before.count(lines.size()))
                out += "\n";
        }
    }
    if (!additions.atEnd.empty()) {
        // A list still open at the end would take the new headers as entries.
        if (!lines.empty() && !emptyLine(lines.back()))
            emit("");
        for (const std::string& line : additions.atEnd)
            emit(line);
    }
    return out;
}

std::string printable(const std::string& s)
{
    return PrintableText(s);
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// What the import holds and where it goes: counts, fitted tracks, warnings and notes.
void printSummary(const ImportedShow& show, const std::string& model, const std::string& dataDir,
                  const std::string& scriptPath, size_t sceneBytes, bool dryRun, std::FILE* out)
{
    std::fprintf(out, "%s %s into %s\n", dryRun ? "would import" : "imported", model.c_str(),
                 printable(dataDir + "/" + show.sceneFile).c_str());
    std::fprintf(out, "  nodes %d, meshes %d, triangles %d, materials %d, textures %zu, cameras %d, lights %d\n",
                 show.nodes, show.meshes, show.triangles, show.materials, show.textures.size(), show.cameraCount,
                 show.lights);
    std::fprintf(out, "  tracks %d, keys %d, animation %d frame%s (%.2f s)\n", show.trackCount, show.keyCount,
                 show.frames, show.frames == 1 ? "" : "s", (show.frames - 1) / 30.0);
    for (const TrackReport& t : show.tracks)
        std::fprintf(out, "  track \"%s\" %s: keys in %d, out %d, largest difference %.3g %s (tolerance %.3g)\n",
                     printable(t.node).c_str(), t.property.c_str(), t.keysIn, t.keysOut, t.largest, t.unit, t.tolerance);
    for (const std::string& w : show.warnings)
        std::fprintf(out, "warning: %s: %s\n", model.c_str(), printable(w).c_str());
    for (const std::string& n : show.notes)
        std::fprintf(out, "note: %s\n", printable(n).c_str());
    for (const OutputFile& t : show.textures)
        std::fprintf(out, "  %s %s (%zu bytes)\n", dryRun ? "would write" : "wrote", printable(dataDir + "/" + t.name).c_str(),
                     t.bytes.size());
    std::fprintf(out, "  %s %s (%zu bytes)\n", dryRun ? "would write" : "wrote",
                 printable(dataDir + "/" + show.sceneFile).c_str(), sceneBytes);
    std::fprintf(out, "  %s %s\n", dryRun ? "would update" : "updated", printable(scriptPath).c_str());
}

} // namespace

std::string updateScript(const std::string& script, const std::vector<std::string>& textures,
                         const std::string& sceneFile, const std::vector<std::string>& cameras, long long partMs)
{
    // The plan gives the script's meaning; the lines are kept to write it back byte for byte.
    const ScriptLines s = splitLines(script);
    // Read as it is written back: a last line without its line feed gets one when anything
    // follows it, and a lone carriage return then ends a list.
    const ShowPlan plan = ParseScript(s.finalNewline ? script : script + "\n");
    ScriptAdditions additions;
    addTextures(plan, textures, additions);
    addScene(plan, sceneFile, additions);
    addParts(plan, sceneFile, cameras, partMs, additions);
    return joinLines(s, additions);
}

int runImport(const std::string& modelPath, const std::string& demoDir, const ImportOptions& options, bool dryRun,
              std::FILE* out, std::FILE* err)
{
    const std::string model = printable(modelPath);
    ImportedShow show;
    std::string error;
    if (!importGltfFile(modelPath, options, show, error)) {
        std::fprintf(err, "taldrex-scene: %s: %s; nothing written\n", model.c_str(), printable(error).c_str());
        return 1;
    }
    const std::string dataDir = demoDir + "/data";
    const std::string scriptPath = demoDir + "/script.txt";
    std::string script;
    struct stat status;
    if (stat(scriptPath.c_str(), &status) == 0) {
        // An existing script is kept line for line, so one that cannot be read stops here.
        if (!readFileBytes(scriptPath, script)) {
            std::fprintf(err, "taldrex-scene: %s: cannot be read; nothing written\n", printable(scriptPath).c_str());
            return 1;
        }
    }
    std::vector<std::string> textureNames;
    for (const OutputFile& t : show.textures)
        textureNames.push_back(t.name);
    const long long partMs = show.frames > 1 ? (long long)(show.frames - 1) * 1000 / 30 : 10000;
    const std::string newScript = updateScript(script, textureNames, show.sceneFile, show.cameras, partMs);
    const std::string sceneBytes = writeScene(show.scene);

    if (dryRun) {
        printSummary(show, model, dataDir, scriptPath, sceneBytes.size(), true, out);
        return 0;
    }

    std::error_code made;
    std::filesystem::create_directories(dataDir, made);
    if (made) {
        std::fprintf(err, "taldrex-scene: %s: cannot create the folder (%s); nothing written\n",
                     printable(dataDir).c_str(), made.message().c_str());
        return 1;
    }
    // Everything goes to temporary names first and is renamed only when all of it is written.
    std::vector<std::pair<std::string, std::string>> files;
    for (const OutputFile& t : show.textures)
        files.push_back({dataDir + "/" + t.name, t.bytes});
    files.push_back({dataDir + "/" + show.sceneFile, sceneBytes});
    files.push_back({scriptPath, newScript});
    std::vector<std::string> written;
    bool ok = true;
    std::string failed;
    int reason = 0; // taken when it fails: the clean-up that follows may change errno
    for (const auto& f : files) {
        std::string temporary = f.first + ".importing";
        if (!writeFile(temporary, f.second)) {
            ok = false;
            failed = temporary;
            reason = errno;
            std::remove(temporary.c_str());
            break;
        }
        written.push_back(temporary);
    }
    for (size_t i = 0; ok && i < written.size(); ++i)
        if (std::rename(written[i].c_str(), files[i].first.c_str()) != 0) {
            ok = false;
            failed = files[i].first;
            reason = errno;
        }
    if (!ok) {
        for (const std::string& t : written)
            std::remove(t.c_str());
        std::fprintf(err, "taldrex-scene: %s: cannot be written (%s)\n", printable(failed).c_str(), std::strerror(reason));
        return 1;
    }
    printSummary(show, model, dataDir, scriptPath, sceneBytes.size(), false, out);
    return 0;
}
