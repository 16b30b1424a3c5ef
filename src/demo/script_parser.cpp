#include "demo/script_parser.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <numeric>

namespace {

// Splits the script into lines on demand, the way a line-reading text file does.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // The next line without its terminator; false at the end of the file.
    bool next(std::string& line)
    {
        if (pos_ >= text_.size())
            return false;
        ++number_;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) {
            line.assign(text_.substr(pos_));
            pos_ = text_.size();
            return true;
        }
        size_t stop = end;
        if (stop > pos_ && text_[stop - 1] == '\r')
            --stop;
        line.assign(text_.substr(pos_, stop - pos_));
        pos_ = end + 1;
        return true;
    }

    // Passes over the next line; false at the end of the file. Only says whether the line
    // was empty.
    bool skip(bool& empty)
    {
        if (pos_ >= text_.size())
            return false;
        ++number_;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        empty = end == pos_ || (end == pos_ + 1 && text_[pos_] == '\r' && end < text_.size());
        pos_ = end + 1;
        return true;
    }

    // The number (from 1) of the line read last.
    int number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
};

// What a top-level line opens: the first of the headers, in their order, that it holds.
enum class Section { None, Mp3, Textures, Scenes, Part };

Section sectionOf(const std::string& lower)
{
    for (size_t i = 0; i < ScriptHeaders.size(); ++i)
        if (lower.find(ScriptHeaders[i]) != std::string::npos)
            return static_cast<Section>(i + 1);
    return Section::None;
}

EntryKind kindOf(Section section)
{
    if (section == Section::Mp3)
        return EntryKind::Soundtrack;
    return section == Section::Textures ? EntryKind::Texture : EntryKind::Scene;
}

// line with A-Z turned into a-z, into a buffer that is reused from line to line.
void lowerInto(const std::string& line, std::string& lower)
{
    lower.assign(line);
    LowerCaseInPlace(lower);
}

// The part of the five lines after "[part]".
TimelineEntry partOf(const std::string (&text)[5])
{
    TimelineEntry entry;
    entry.sceneName = LowerCase(text[0]);
    entry.endTime = ParseEndTime(text[1]);
    entry.cameraName = LowerCase(text[2]);
    entry.backgroundName = LowerCase(text[3]);
    entry.overlayName = LowerCase(text[4]);
    return entry;
}

bool blank(const std::string& line) { return line.find_first_not_of(" \t\r") == std::string::npos; }

bool comment(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t\r");
    return first != std::string::npos && line[first] == '#';
}

// How many entries and parts a script holds, so that the plan makes room for them at once.
struct ScriptCounts {
    size_t entries = 0;
    int parts = 0;
};

ScriptCounts countScript(std::string_view text)
{
    LineReader lines(text);
    std::string line, lower;
    ScriptCounts counts;
    bool empty = false;
    while (lines.next(line)) {
        if (line.empty())
            continue;
        lowerInto(line, lower);
        const Section section = sectionOf(lower);
        if (section == Section::Part) {
            ++counts.parts;
            for (int i = 0; i < 5; ++i)
                lines.skip(empty);
        } else if (section != Section::None) {
            while (lines.skip(empty) && !empty)
                ++counts.entries;
        }
    }
    return counts;
}

// Builds the plan in one walk by the script's grammar.
class PlanBuilder {
public:
    PlanBuilder(std::string_view text, ShowPlan& plan) : lines_(text), plan_(plan) {}

    void run()
    {
        std::string line, lower;
        while (lines_.next(line)) {
            if (line.empty())
                continue;
            lowerInto(line, lower);
            const Section section = sectionOf(lower);
            if (section == Section::Part)
                readPart();
            else if (section == Section::None)
                stray(lower);
            else
                readList(kindOf(section), line, lower);
        }
    }

private:
    // The five lines are read whatever they hold; missing ones are empty.
    void readPart()
    {
        plan_.partLines.push_back(lines_.number());
        for (std::string& partLine : part_)
            if (!lines_.next(partLine))
                partLine.clear();
        plan_.parts[next_++] = partOf(part_);
    }

    // A list runs to the first empty line, which it consumes, or to the end.
    void readList(EntryKind kind, std::string& line, std::string& lower)
    {
        PlanList list;
        list.kind = kind;
        list.header = lines_.number();
        while (lines_.next(line) && !line.empty()) {
            lowerInto(line, lower);
            PlanEntry entry;
            entry.kind = kind;
            entry.key = lower;
            entry.line = lines_.number();
            plan_.entries.push_back(std::move(entry));
        }
        list.end = line.empty() ? lines_.number() : lines_.number() + 1;
        plan_.lists.push_back(list);
    }

    void stray(const std::string& lower)
    {
        if (blank(lower) || comment(lower))
            return;
        if (plan_.strayLines.size() < ShowPlan::MaxStrayLines) {
            plan_.strayLines.push_back({lines_.number(), lower});
            return;
        }
        if (plan_.moreStrayLines == 0)
            plan_.firstMoreStrayLine = lines_.number();
        ++plan_.moreStrayLines;
    }

    LineReader lines_;
    ShowPlan& plan_;
    std::string part_[5];
    int next_ = 0;
};

// Marks each entry whose kind and key an earlier entry has, by sorting indices rather than
// keeping a set of keys, so that a list of many short lines costs little beside the plan.
void markRepeats(std::vector<PlanEntry>& entries)
{
    std::vector<uint32_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const PlanEntry& x = entries[a];
        const PlanEntry& y = entries[b];
        return x.kind != y.kind ? x.kind < y.kind : x.key < y.key;
    });
    for (size_t i = 1; i < order.size(); ++i) {
        const PlanEntry& previous = entries[order[i - 1]];
        PlanEntry& entry = entries[order[i]];
        entry.firstListing = entry.kind != previous.kind || entry.key != previous.key;
    }
}

} // namespace

int ParseEndTime(const std::string& line)
{
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || (line[i] >= '\t' && line[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    // Counted in 64 bits and held just above the int32 range, so long digit runs saturate.
    const int64_t cap = int64_t(INT_MAX) + 1;
    int64_t value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        value = std::min(value * 10 + (line[i] - '0'), cap);
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min(value, int64_t(INT_MAX)));
}

ShowPlan ParseScript(std::string_view text)
{
    const ScriptCounts counts = countScript(text);
    ShowPlan plan;
    plan.entries.reserve(counts.entries);
    plan.parts.setSize(counts.parts);
    plan.partLines.reserve(static_cast<size_t>(counts.parts));
    PlanBuilder(text, plan).run();
    markRepeats(plan.entries);
    return plan;
}

const char* HeaderHeldBy(const std::string& key)
{
    for (const char* header : ScriptHeaders)
        if (key.find(header) != std::string::npos)
            return header;
    return nullptr;
}

TexturePictures PicturesOf(const std::string& key)
{
    TexturePictures pictures;
    pictures.jpeg = key.find(".jpg") != std::string::npos;
    pictures.png = key.find(".png") != std::string::npos;
    return pictures;
}

const PlanEntry* PlanSoundtrack(const ShowPlan& plan)
{
    for (auto entry = plan.entries.rbegin(); entry != plan.entries.rend(); ++entry)
        if (entry->kind == EntryKind::Soundtrack)
            return &*entry;
    return nullptr;
}
