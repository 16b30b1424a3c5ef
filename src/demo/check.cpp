#include "demo/check.h"

#include "app/mp3_decoder.h"
#include "common/file_path.h"
#include "demo/script_parser.h"
#include "graph/node.h"
#include "image/image_limits.h"
#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"
#include "scene/material.h"
#include "scene/scene.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {

const char* const ScriptName = "script.txt";

// The script's entries in file order, as the loader would meet them.
class Listing : public ScriptSink {
public:
    struct Entry {
        std::string line;
        int order; // position among all list entries of the script
    };
    std::vector<Entry> mp3s, textures, scenes;
    std::vector<TimelineEntry> parts;

    void mp3Entry(const std::string& line) override { mp3s.push_back({line, next_++}); }
    void textureEntry(const std::string& line) override { textures.push_back({line, next_++}); }
    void sceneEntry(const std::string& line) override { scenes.push_back({line, next_++}); }
    void part(const TimelineEntry& entry) override { parts.push_back(entry); }

private:
    int next_ = 0;
};

bool isFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

const char* kindName(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Scene: return "scene";
    case NodeKind::Mesh: return "mesh";
    case NodeKind::Camera: return "camera";
    case NodeKind::Target: return "target";
    case NodeKind::Spot: return "spot";
    case NodeKind::Light: return "light";
    case NodeKind::Transform: return "transform";
    }
    return "unknown";
}

class Checker {
public:
    std::vector<CheckProblem> problems;

    void run()
    {
        std::ifstream file(resolveDataPath(ScriptName), std::ios::binary);
        if (!file) {
            report(ScriptName, "missing or unreadable");
            return;
        }
        std::ostringstream text;
        text << file.rdbuf();
        ParseScript(text.str(), listing_);

        checkMusic();
        checkLoadingPicture();
        checkTextures();
        checkScenes();
        checkParts();
    }

private:
    void report(const std::string& file, const std::string& problem) { problems.push_back({file, problem}); }

    // The path of a script entry, or empty (with the problem reported) when there is no such file.
    std::string existingFile(const std::string& line)
    {
        std::string path = resolveDataPath("data\\" + line);
        if (!isFile(path)) {
            report(path, "named in script.txt but does not exist");
            return std::string();
        }
        return path;
    }

    void checkMusic()
    {
        for (const Listing::Entry& entry : listing_.mp3s) {
            std::string path = existingFile(entry.line);
            if (path.empty())
                continue;
            DecodedAudio audio;
            if (!DecodeMp3File(path.c_str(), audio) || audio.rate <= 0 || audio.channels <= 0) {
                report(path, "does not decode as MP3 (the show would play silently)");
                continue;
            }
            // The show's clock is the last stream that opened.
            musicMs_ = static_cast<long long>(audio.samples.size() / audio.channels) * 1000 / audio.rate;
        }
    }

    void checkTextures()
    {
        for (const Listing::Entry& entry : listing_.textures) {
            const bool jpeg = entry.line.find(".jpg") != std::string::npos;
            const bool png = entry.line.find(".png") != std::string::npos;
            if (!jpeg && !png)
                continue;
            registeredAt_.emplace(entry.line, entry.order);
            std::string path = existingFile(entry.line);
            if (path.empty())
                continue;
            // A line listed again keeps the texture of its first listing.
            if (!checkedTextures_.insert(entry.line).second)
                continue;
            // A line naming both kinds decodes both and ends up holding the PNG.
            if (jpeg && png)
                DecodeJpeg(path, &budget_);
            if (png)
                checkImage(path, DecodePng(path, &budget_), "PNG", "the texture would be empty");
            else
                checkImage(path, DecodeJpeg(path, &budget_), "JPEG", "the texture would be empty");
        }
    }

    // The picture drawn while the show loads, before any texture. Without one the
    // loading frame is plain white, which a show may well mean: a missing file is no
    // problem, a present one the show cannot draw is.
    void checkLoadingPicture()
    {
        const std::string path = resolveDataPath("data\\Loading.jpg");
        DecodedImage image = DecodeJpeg(path, &budget_);
        if (!image.empty() || !image.refusal.empty() || isFile(path))
            checkImage(path, image, "JPEG", "the loading frame would be plain white");
    }

    // Reports a decoded picture that is refused, empty or incomplete; effect says what
    // the show would draw instead.
    void checkImage(const std::string& path, const DecodedImage& image, const char* kind, const char* effect)
    {
        if (!image.refusal.empty())
            report(path, "refused: " + image.refusal + " (" + effect + ")");
        else if (image.empty())
            report(path, std::string("does not decode as ") + kind + " (" + effect + ")");
        else if (!image.complete)
            report(path, std::string("is damaged: the ") + kind + " decodes only part-way");
    }

    void checkScenes()
    {
        for (const Listing::Entry& entry : listing_.scenes) {
            std::string path = existingFile(entry.line);
            auto scene = std::make_unique<Scene>();
            if (!path.empty()) {
                scene->loadFile(path.c_str());
                if (scene->reader && scene->reader->failed())
                    report(path, "damaged: reading stopped at byte " + std::to_string(scene->reader->failedOffset()));
                checkMaterials(*scene, path, entry.order);
            }
            scenes_[entry.line] = std::move(scene);
        }
    }

    // Only the surface and environment maps are drawn; each must name a texture the
    // script lists before the scene, or the faces are drawn untextured.
    void checkMaterials(const Scene& scene, const std::string& path, int sceneOrder)
    {
        for (const std::unique_ptr<Material>& material : scene.materials) {
            for (int slot : {Material::surfaceSlot, Material::environmentSlot}) {
                const MaterialMap& map = material->maps[slot];
                if (!map.present())
                    continue;
                int at = -1;
                for (const std::string& name : {map.textureName(), map.fallbackTextureName()}) {
                    auto found = registeredAt_.find(name);
                    if (found != registeredAt_.end()) {
                        at = found->second;
                        break;
                    }
                }
                const std::string what = "material \"" + material->name + "\": map \"" + map.mapFile + "\"";
                if (at < 0)
                    report(path, what + " resolves to no texture listed in script.txt");
                else if (at > sceneOrder)
                    report(path, what + " names a texture listed after this scene in script.txt");
            }
        }
    }

    void checkParts()
    {
        for (size_t i = 0; i < listing_.parts.size(); ++i) {
            const TimelineEntry& part = listing_.parts[i];
            const std::string where = "part " + std::to_string(i + 1) + ": ";
            auto scene = scenes_.find(part.sceneName);
            if (scene == scenes_.end()) {
                report(ScriptName, where + "scene \"" + part.sceneName + "\" is not listed under [scenes]");
            } else if (scene->second->reader) {
                checkCamera(*scene->second, part, where);
            }
            for (const std::string* image : {&part.backgroundName, &part.overlayName}) {
                if (*image != "standard" && registeredAt_.find(*image) == registeredAt_.end())
                    report(ScriptName, where + "image \"" + *image + "\" is not listed under [textures]");
            }
            if (i > 0 && part.endTime <= listing_.parts[i - 1].endTime)
                report(ScriptName, where + "end time " + std::to_string(part.endTime) +
                    " ms does not come after the previous part's; the part is never shown");
            if (musicMs_ >= 0 && part.endTime >= musicMs_)
                report(ScriptName, where + "ends at " + std::to_string(part.endTime) + " ms, after the music (" +
                    std::to_string(musicMs_) + " ms); the show would wait there until Escape");
        }
    }

    void checkCamera(Scene& scene, const TimelineEntry& part, const std::string& where)
    {
        Node* found = scene.findNodeByName(part.cameraName);
        if (!found)
            report(ScriptName, where + "camera \"" + part.cameraName + "\" matches no node of " + part.sceneName);
        else if (found->kind != NodeKind::Camera)
            report(ScriptName, where + "camera \"" + part.cameraName + "\" first matches the " +
                kindName(found->kind) + " node \"" + found->name + "\" of " + part.sceneName + ", not a camera");
    }

    Listing listing_;
    // The show's texture memory, taken as the show would take it.
    ImageBudget budget_{TextureBudget.total()};
    std::set<std::string> checkedTextures_;
    std::map<std::string, int> registeredAt_;
    std::map<std::string, std::unique_ptr<Scene>> scenes_;
    long long musicMs_ = -1;
};

} // namespace

std::vector<CheckProblem> CheckDemoFolder()
{
    Checker checker;
    checker.run();
    return checker.problems;
}

int ReportCheck(const std::vector<CheckProblem>& problems, const std::string& folder)
{
    for (const CheckProblem& p : problems)
        std::printf("%s: %s\n", p.file.c_str(), p.problem.c_str());
    if (problems.empty())
        std::printf("%s: no problems found\n", folder.c_str());
    else
        std::printf("%s: %zu problem%s found\n", folder.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
    return problems.empty() ? 0 : 1;
}
