#include "player/show_editor.h"

#include "common/printable_text.h"
#include "demo/check.h"
#include "demo/part_timing.h"
#include "demo/show.h"
#include "graph/node.h"
#include "player/author_mode.h"
#include "player/script_save.h"
#include "player/timeline_strip.h"
#include "scene/scene.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

// The clock as the strip and the status bar write it.
std::string clockText(int ms)
{
    char text[24];
    FormatClock(text, sizeof text, ms);
    return text;
}

// Where the end of part may go: a frame after its start, and a frame before the end of the
// part after it.
void endRange(const TimelineArray& timeline, int part, int& lowest, int& highest)
{
    lowest = static_cast<int>(std::ceil(PartStart(timeline, part) + FrameStepMs));
    highest = part + 1 < timeline.size() ? static_cast<int>(std::floor(timeline[part + 1].endTime - FrameStepMs))
                                         : INT_MAX / 2;
}

} // namespace

std::vector<std::string> SceneCameras(Scene& scene)
{
    std::vector<std::string> names;
    std::vector<Node*> stack;
    for (int i = scene.children.size() - 1; i >= 0; --i)
        stack.push_back(scene.children[i].get());
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        if (node->kind == NodeKind::Camera && !node->name.empty() && scene.findNodeByName(node->name) == node)
            names.push_back(node->name);
        for (int i = node->children.size() - 1; i >= 0; --i)
            stack.push_back(node->children[i].get());
    }
    return names;
}

ShowEditor::ShowEditor(Show& show, const BeatGrid& beats, ShowWatch* watch, std::string script)
    : show_(show), beats_(beats), watch_(watch), edits_(show.Timeline)
{
    onDisk_ = script;
    edits_.start(std::move(script));
    listTextures();
    checkBase();
}

// Saving writes the edits over the script they count from, which must be the one the
// timeline was read from.
void ShowEditor::checkBase()
{
    const ShowPlan& plan = edits_.plan();
    const TimelineArray& timeline = show_.Timeline;
    baseKnown_ = plan.parts.size() == timeline.size();
    for (int i = 0; i < timeline.size() && baseKnown_; ++i) {
        const TimelineEntry& a = plan.parts[i];
        const TimelineEntry& b = timeline[i];
        baseKnown_ = a.endTime == b.endTime && a.sceneName == b.sceneName && a.cameraName == b.cameraName &&
            a.backgroundName == b.backgroundName && a.overlayName == b.overlayName;
    }
}

void ShowEditor::say(const std::string& message)
{
    message_ = message;
    ++messages_;
    std::fprintf(stderr, "taldrex: %s\n", message.c_str());
}

void ShowEditor::listTextures()
{
    textures_.assign(1, "standard");
    for (const PlanEntry& entry : edits_.plan().entries)
        if (entry.kind == EntryKind::Texture && entry.firstListing && PicturesOf(entry.key).any())
            textures_.push_back(entry.key);
}

// ms on the nearest beat with a grid and without Alt, to the millisecond otherwise.
int ShowEditor::snapped(double ms, bool free) const
{
    if (HasBeats(beats_) && !free)
        ms = BeatTime(beats_, std::llround((ms - beats_.offsetMs) / BeatMs(beats_)));
    return static_cast<int>(std::clamp(std::llround(ms), 0LL, static_cast<long long>(INT_MAX / 2)));
}

bool ShowEditor::cutAt(int part, double ms, bool free, const std::string& camera)
{
    const TimelineArray& timeline = show_.Timeline;
    // Both halves last a frame at least.
    const int lowest = static_cast<int>(std::ceil(PartStart(timeline, part) + FrameStepMs));
    const int highest = static_cast<int>(std::floor(timeline[part].endTime - FrameStepMs));
    const int at = snapped(ms, free);
    if (at < lowest || at > highest) {
        say("part " + std::to_string(part + 1) + " is not cut at " + clockText(at) +
            ": a part lasts a frame at least");
        return false;
    }
    edits_.cut(part, at, camera);
    say("part " + std::to_string(part + 1) + " cut at " + clockText(at) +
        (camera.empty() ? std::string() : "; part " + std::to_string(part + 2) + " looks through " + camera));
    return true;
}

bool ShowEditor::stepCamera(int part, int direction)
{
    TimelineEntry& entry = show_.Timeline[part];
    std::unique_ptr<Scene>* scene = show_.SceneRegistry.find(entry.sceneName);
    const std::vector<std::string> cameras = scene ? SceneCameras(**scene) : std::vector<std::string>();
    if (cameras.empty()) {
        say(PrintableText(entry.sceneName) + " has no camera to choose");
        return false;
    }
    const Node* seen = scene->get()->findNodeByName(entry.cameraName);
    const auto at = std::find_if(cameras.begin(), cameras.end(),
        [&](const std::string& name) { return seen && seen->name == name; });
    const int count = static_cast<int>(cameras.size());
    const int now = at == cameras.end() ? (direction > 0 ? -1 : 0) : static_cast<int>(at - cameras.begin());
    const std::string& next = cameras[((now + direction) % count + count) % count];
    if (!edits_.setName(part, PartName::Camera, next))
        return false;
    say("part " + std::to_string(part + 1) + " looks through " + PrintableText(next));
    return true;
}

bool ShowEditor::stepName(int part, PartName which, int direction)
{
    const TimelineEntry& entry = show_.Timeline[part];
    const std::string& name = which == PartName::Background ? entry.backgroundName : entry.overlayName;
    const auto at = std::find(textures_.begin(), textures_.end(), name);
    const int count = static_cast<int>(textures_.size());
    const int now = at == textures_.end() ? (direction > 0 ? -1 : 0) : static_cast<int>(at - textures_.begin());
    const std::string next = textures_[((now + direction) % count + count) % count];
    if (!edits_.setName(part, which, next))
        return false;
    say("part " + std::to_string(part + 1) + (which == PartName::Background ? " background: " : " overlay: ") +
        PrintableText(next));
    return true;
}

bool ShowEditor::press(AuthorKey key, int digit, double ms, bool shift, bool free)
{
    const TimelineArray& timeline = show_.Timeline;
    const int part = PositionAt(timeline, ms).part;
    if (part >= timeline.size()) {
        say("no part at " + clockText(static_cast<int>(ms)) + " to edit");
        return false;
    }
    const int direction = shift ? -1 : 1;
    switch (key) {
    case AuthorKey::Cut:
        return cutAt(part, ms, free, std::string());
    case AuthorKey::LiveCut: {
        std::unique_ptr<Scene>* scene = show_.SceneRegistry.find(timeline[part].sceneName);
        const std::vector<std::string> cameras = scene ? SceneCameras(**scene) : std::vector<std::string>();
        if (digit < 1 || digit > static_cast<int>(cameras.size())) {
            say(PrintableText(timeline[part].sceneName) + " has no camera " + std::to_string(digit) + " (it has " +
                std::to_string(cameras.size()) + ")");
            return false;
        }
        return cutAt(part, ms, free, cameras[digit - 1]);
    }
    case AuthorKey::Join:
        if (!edits_.join(part)) {
            say("part " + std::to_string(part + 1) + " is the last part: nothing to join it with");
            return false;
        }
        say("parts " + std::to_string(part + 1) + " and " + std::to_string(part + 2) + " joined");
        return true;
    case AuthorKey::Camera:
        return stepCamera(part, direction);
    case AuthorKey::Background:
        return stepName(part, PartName::Background, direction);
    case AuthorKey::Overlay:
        return stepName(part, PartName::Overlay, direction);
    default:
        return false;
    }
}

bool ShowEditor::undo(bool redo)
{
    if (!(redo ? edits_.redo() : edits_.undo())) {
        say(redo ? "nothing to redo" : "nothing to undo");
        return false;
    }
    const int steps = edits_.undoSteps();
    say(std::string(redo ? "redone" : "undone") + "; " + std::to_string(steps) +
        (steps == 1 ? " step" : " steps") + " to undo");
    return true;
}

bool ShowEditor::drag(const StripAction& action, bool free, bool& dropped)
{
    dropped = action.kind == StripAction::Kind::DropEnd;
    const TimelineArray& timeline = show_.Timeline;
    if (action.part < 0 || action.part >= timeline.size())
        return false;
    const int was = timeline[action.part].endTime;
    int lowest = 0;
    int highest = 0;
    endRange(timeline, action.part, lowest, highest);
    const int at = std::clamp(snapped(action.ms, free), lowest, std::max(lowest, highest));
    edits_.dragEnd(action.part, at);
    if (dropped && edits_.endDrag())
        say("part " + std::to_string(action.part + 1) + " ends at " + clockText(at));
    return at != was || dropped;
}

bool ShowEditor::save(std::vector<std::string>& problems)
{
    const std::string text = edits_.script();
    // Writing it again would put the script in place of the one before it in script.txt~.
    if (text == onDisk_ && !(watch_ && watch_->scriptWaiting())) {
        say("script.txt has no unsaved edits; it is left as it is");
        return false;
    }
    std::string problem;
    if (!baseKnown_)
        problem = "the script the show was loaded from could not be read again";
    if (!problem.empty() || !SaveShowScript(show_.folder(), text, problem)) {
        say("script.txt not saved: " + problem + "; the edits stay in memory");
        return false;
    }
    const bool overWaiting = watch_ && watch_->scriptWaiting();
    edits_.saved();
    onDisk_ = text;
    if (watch_)
        watch_->scriptSaved(text);
    waitingLine_.clear();
    say(overWaiting ? "saved script.txt over the version changed on disk, which is kept as script.txt~"
                    : "saved script.txt; the script before is kept as script.txt~");
    problems = ProblemLines(CheckDemoFolder(show_.folder(), show_.TextureBudget.total()));
    for (const std::string& line : problems)
        std::fprintf(stderr, "taldrex: %s\n", line.c_str());
    return true;
}

void ShowEditor::holdScript()
{
    if (watch_)
        watch_->holdScript(edits_.unsaved());
}

void ShowEditor::followWatch()
{
    if (!watch_)
        return;
    if (watch_->scriptWaiting()) {
        if (waitingLine_.empty()) {
            waitingLine_ = "script.txt changed on disk; the unsaved edits are kept: Ctrl+S writes them over it "
                           "(keeping it as script.txt~), undoing them all loads it";
            say(waitingLine_);
        }
    } else {
        waitingLine_.clear();
        if (watch_->script() != onDisk_) {
            const bool hadSteps = edits_.undoSteps() > 0;
            onDisk_ = watch_->script();
            edits_.start(onDisk_);
            listTextures();
            checkBase();
            if (hadSteps)
                say("script.txt changed on disk and was loaded; the edits before it can no longer be undone");
        }
    }
}
