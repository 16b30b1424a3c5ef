#include "player/timeline_edits.h"

#include <algorithm>
#include <utility>

TimelineEdits::TimelineEdits(TimelineArray& timeline) : timeline_(timeline) {}

void TimelineEdits::start(std::string script)
{
    base_ = std::move(script);
    plan_ = ParseScript(base_);
    lines_ = ScriptLines(base_);
    separated_ = false;
    for (int part = 1; part < plan_.parts.size() && !separated_; ++part)
        separated_ = lines_.part(plan_, part).blankBefore;
    const int count = timeline_.size();
    ids_.resize(static_cast<size_t>(count));
    infos_.assign(static_cast<size_t>(count), PartInfo());
    for (int i = 0; i < count; ++i) {
        ids_[i] = i;
        infos_[i].scriptPart = i < plan_.parts.size() ? i : -1;
    }
    steps_.clear();
    done_ = 0;
    forgotten_ = savedSerial_ = serial_;
    dragged_ = -1;
}

long long TimelineEdits::serialNow() const { return done_ > 0 ? steps_[done_ - 1].serial : forgotten_; }

bool TimelineEdits::unsaved() const { return dragged_ >= 0 || serialNow() != savedSerial_; }

void TimelineEdits::insertPart(int index, const TimelineEntry& entry, int id)
{
    const int count = timeline_.size();
    timeline_.setSize(count + 1);
    for (int i = count; i > index; --i)
        timeline_[i] = std::move(timeline_[i - 1]);
    timeline_[index] = entry;
    ids_.insert(ids_.begin() + index, id);
}

void TimelineEdits::removePart(int index)
{
    const int count = timeline_.size();
    for (int i = index; i + 1 < count; ++i)
        timeline_[i] = std::move(timeline_[i + 1]);
    timeline_.setSize(count - 1);
    ids_.erase(ids_.begin() + index);
}

void TimelineEdits::apply(const Change& change, bool forward)
{
    const bool inserting = (change.kind == Change::Kind::Insert) == forward;
    switch (change.kind) {
    case Change::Kind::Set:
        timeline_[change.index] = forward ? change.after : change.before;
        break;
    case Change::Kind::Insert:
    case Change::Kind::Remove:
        if (inserting)
            insertPart(change.index, change.kind == Change::Kind::Insert ? change.after : change.before, change.id);
        else
            removePart(change.index);
        break;
    }
}

// The changes, already made to the timeline, become the next step; the steps undone are
// gone, and past MostSteps the oldest is forgotten.
void TimelineEdits::record(std::vector<Change> changes)
{
    steps_.resize(static_cast<size_t>(done_));
    steps_.push_back(Step{std::move(changes), ++serial_});
    ++done_;
    if (done_ > MostSteps) {
        forgotten_ = steps_.front().serial;
        steps_.pop_front();
        --done_;
    }
}

bool TimelineEdits::setEnd(int part, int endMs)
{
    endDrag();
    if (part < 0 || part >= timeline_.size() || timeline_[part].endTime == endMs)
        return false;
    Change change{Change::Kind::Set, part, ids_[part], timeline_[part], timeline_[part]};
    change.after.endTime = endMs;
    apply(change, true);
    record({change});
    return true;
}

bool TimelineEdits::cut(int part, int atMs, const std::string& camera)
{
    endDrag();
    if (part < 0 || part >= timeline_.size())
        return false;
    Change shorten{Change::Kind::Set, part, ids_[part], timeline_[part], timeline_[part]};
    shorten.after.endTime = atMs;
    Change add{Change::Kind::Insert, part + 1, static_cast<int>(infos_.size()), TimelineEntry(), timeline_[part]};
    if (!camera.empty())
        add.after.cameraName = camera;
    PartInfo info;
    info.style = styleOf(ids_[part]);
    info.style.blankBefore = separated_;
    infos_.push_back(std::move(info));
    apply(shorten, true);
    apply(add, true);
    record({shorten, add});
    return true;
}

bool TimelineEdits::join(int part)
{
    endDrag();
    if (part < 0 || part + 1 >= timeline_.size())
        return false;
    Change lengthen{Change::Kind::Set, part, ids_[part], timeline_[part], timeline_[part]};
    lengthen.after.endTime = std::max(timeline_[part].endTime, timeline_[part + 1].endTime);
    const Change drop{Change::Kind::Remove, part + 1, ids_[part + 1], timeline_[part + 1], TimelineEntry()};
    apply(lengthen, true);
    apply(drop, true);
    record({lengthen, drop});
    return true;
}

bool TimelineEdits::setName(int part, PartName which, const std::string& name)
{
    endDrag();
    if (part < 0 || part >= timeline_.size())
        return false;
    Change change{Change::Kind::Set, part, ids_[part], timeline_[part], timeline_[part]};
    std::string& field = which == PartName::Camera ? change.after.cameraName
        : which == PartName::Background            ? change.after.backgroundName
                                                   : change.after.overlayName;
    if (field == name)
        return false;
    field = name;
    apply(change, true);
    record({change});
    return true;
}

void TimelineEdits::dragEnd(int part, int endMs)
{
    if (dragged_ != part)
        endDrag();
    if (part < 0 || part >= timeline_.size())
        return;
    if (dragged_ < 0) {
        dragged_ = part;
        dragFrom_ = timeline_[part].endTime;
    }
    timeline_[part].endTime = endMs;
}

bool TimelineEdits::endDrag()
{
    if (dragged_ < 0)
        return false;
    const int part = dragged_;
    dragged_ = -1;
    if (timeline_[part].endTime == dragFrom_)
        return false;
    Change change{Change::Kind::Set, part, ids_[part], timeline_[part], timeline_[part]};
    change.before.endTime = dragFrom_;
    record({change});
    return true;
}

bool TimelineEdits::undo()
{
    endDrag();
    if (done_ == 0)
        return false;
    const Step& step = steps_[--done_];
    for (auto change = step.changes.rbegin(); change != step.changes.rend(); ++change)
        apply(*change, false);
    return true;
}

bool TimelineEdits::redo()
{
    endDrag();
    if (done_ == static_cast<int>(steps_.size()))
        return false;
    for (const Change& change : steps_[done_++].changes)
        apply(change, true);
    return true;
}

PartLines TimelineEdits::styleOf(int id) const
{
    const PartInfo& info = infos_[id];
    return info.scriptPart >= 0 ? lines_.part(plan_, info.scriptPart) : info.style;
}

std::string TimelineEdits::script() const
{
    std::vector<WrittenPart> parts(static_cast<size_t>(timeline_.size()));
    for (int i = 0; i < timeline_.size(); ++i) {
        const PartInfo& info = infos_[ids_[i]];
        parts[i].entry = timeline_[i];
        parts[i].scriptPart = info.scriptPart;
        if (info.scriptPart < 0)
            parts[i].style = info.style;
    }
    return WriteScript(base_, plan_, parts);
}

void TimelineEdits::saved()
{
    endDrag();
    savedSerial_ = serialNow();
}
