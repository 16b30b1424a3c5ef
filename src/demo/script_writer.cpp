#include "demo/script_writer.h"

#include "common/ascii_case.h"
#include "demo/script_parser.h"

namespace {

constexpr int PartLineCount = 6; // the header and the five lines after it

// One line of the script as it is written out: its text and terminator as read, what
// replaces or removes it, and what is written before and after it.
struct Line {
    std::string_view text;
    std::string_view end;
    std::string replacement;
    bool replaced = false;
    bool removed = false;
    std::string before;
    std::string after;
};

std::vector<Line> splitLines(std::string_view text)
{
    const ScriptLines script(text);
    std::vector<Line> lines(static_cast<size_t>(script.count()));
    for (int i = 0; i < script.count(); ++i) {
        lines[i].text = script.text(i);
        lines[i].end = script.end(i);
    }
    return lines;
}

// The part of a header line up to and including its "[part]", as the script spells it.
std::string headerOf(const std::string& line)
{
    const size_t at = LowerCase(line).find("[part]");
    return at == std::string::npos ? std::string("[part]") : line.substr(0, at + 6);
}

// line with its number made value: the spaces before it and whatever follows it stay.
std::string withNumber(const std::string& line, int value)
{
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || (line[start] >= '\t' && line[start] <= '\r')))
        ++start;
    size_t stop = start;
    if (stop < line.size() && (line[stop] == '+' || line[stop] == '-'))
        ++stop;
    while (stop < line.size() && line[stop] >= '0' && line[stop] <= '9')
        ++stop;
    return line.substr(0, start) + std::to_string(value) + line.substr(stop);
}

// Field k (0 scene, 1 end time, 2 camera, 3 background, 4 overlay) of entry as a line,
// keeping was, the line it was written with, when it still reads the same.
std::string fieldLine(const TimelineEntry& entry, int k, const std::string* was)
{
    if (k == 1) {
        if (!was)
            return std::to_string(entry.endTime);
        return ParseEndTime(*was) == entry.endTime ? *was : withNumber(*was, entry.endTime);
    }
    const std::string& value = k == 0 ? entry.sceneName
        : k == 2                      ? entry.cameraName
        : k == 3                      ? entry.backgroundName
                                      : entry.overlayName;
    return was && LowerCase(*was) == value ? *was : value;
}

bool sameField(const TimelineEntry& a, const TimelineEntry& b, int k)
{
    switch (k) {
    case 0:
        return a.sceneName == b.sceneName;
    case 1:
        return a.endTime == b.endTime;
    case 2:
        return a.cameraName == b.cameraName;
    case 3:
        return a.backgroundName == b.backgroundName;
    default:
        return a.overlayName == b.overlayName;
    }
}

// Writes the parts over the script's lines.
class ScriptWriter {
public:
    ScriptWriter(std::string_view text, const ShowPlan& plan) : plan_(plan), lines_(splitLines(text))
    {
        for (const Line& line : lines_)
            if (!line.end.empty()) {
                eol_ = std::string(line.end);
                break;
            }
        if (plan.parts.size() > 0)
            header_ = headerOf(lineText(plan.partLines[0] - 1));
        for (int part = 1; part < plan.parts.size() && !separated_; ++part) {
            const int header = plan.partLines[part] - 1;
            separated_ = header > 0 && lines_[header - 1].text.empty();
        }
    }

    std::string write(const std::vector<WrittenPart>& parts)
    {
        std::vector<bool> kept(static_cast<size_t>(plan_.parts.size()), false);
        for (const WrittenPart& part : parts)
            if (part.scriptPart >= 0 && part.scriptPart < plan_.parts.size())
                kept[part.scriptPart] = true;
        for (int part = 0; part < plan_.parts.size(); ++part)
            if (!kept[part])
                remove(part);

        int anchor = -1; // the last line of the script's part written last
        std::string pending; // new parts that come before any of the script's parts
        for (const WrittenPart& part : parts) {
            if (part.scriptPart >= 0 && part.scriptPart < plan_.parts.size()) {
                anchor = rewrite(part);
                if (!pending.empty())
                    lines_[plan_.partLines[part.scriptPart] - 1].before = std::move(pending);
                pending.clear();
                continue;
            }
            std::string block = blockOf(part);
            if (anchor >= 0) {
                endLine(anchor);
                lines_[anchor].after += block;
            } else {
                pending += block;
            }
        }
        std::string out;
        for (const Line& line : lines_) {
            out += line.before;
            if (!line.removed) {
                if (line.replaced)
                    out += line.replacement;
                else
                    out += line.text;
                out += line.end;
            }
            out += line.after;
        }
        if (!pending.empty()) {
            if (!lines_.empty() && lines_.back().end.empty() && !lines_.back().removed)
                out += eol_;
            out += pending;
        }
        return out;
    }

private:
    std::string lineText(int index) const
    {
        return index < static_cast<int>(lines_.size()) ? std::string(lines_[index].text) : std::string();
    }

    // Gives the line a terminator, as something is written after it.
    void endLine(int index)
    {
        if (lines_[index].end.empty())
            lines_[index].end = eol_;
    }

    // Makes sure the part's five lines exist in the file (a script may end inside a part),
    // as empty lines, which read as what was missing.
    void completePart(int part)
    {
        const size_t last = static_cast<size_t>(plan_.partLines[part] - 1 + PartLineCount - 1);
        if (last < lines_.size())
            return;
        endLine(static_cast<int>(lines_.size()) - 1);
        while (lines_.size() <= last) {
            Line line;
            line.end = eol_;
            lines_.push_back(line);
        }
    }

    // The part's changed lines rewritten; returns its last line.
    int rewrite(const WrittenPart& part)
    {
        const TimelineEntry& was = plan_.parts[part.scriptPart];
        const int header = plan_.partLines[part.scriptPart] - 1;
        for (int k = 0; k < PartLineCount - 1; ++k) {
            if (sameField(was, part.entry, k))
                continue;
            completePart(part.scriptPart);
            Line& line = lines_[header + 1 + k];
            const std::string old(line.text);
            line.replacement = fieldLine(part.entry, k, &old);
            line.replaced = true;
        }
        const int last = header + PartLineCount - 1;
        if (last >= static_cast<int>(lines_.size()))
            completePart(part.scriptPart);
        return last;
    }

    void remove(int part)
    {
        const int header = plan_.partLines[part] - 1;
        for (int k = 0; k < PartLineCount && header + k < static_cast<int>(lines_.size()); ++k)
            lines_[header + k].removed = true;
        // The empty line that only separates it from the part before goes with it.
        if (part > 0 && header >= 2 && lines_[header - 1].text.empty() &&
            header - 2 == plan_.partLines[part - 1] - 1 + PartLineCount - 1)
            lines_[header - 1].removed = true;
    }

    std::string blockOf(const WrittenPart& part) const
    {
        const PartLines& style = part.style;
        std::string block;
        if (style.known ? style.blankBefore : separated_)
            block += eol_;
        block += (style.known ? headerOf(style.lines[0]) : header_) + eol_;
        for (int k = 0; k < PartLineCount - 1; ++k)
            block += fieldLine(part.entry, k, style.known ? &style.lines[k + 1] : nullptr) + eol_;
        return block;
    }

    const ShowPlan& plan_;
    std::vector<Line> lines_;
    std::string eol_ = "\n";
    std::string header_ = "[part]";
    bool separated_ = false; // the script's parts have empty lines between them
};

} // namespace

ScriptLines::ScriptLines(std::string_view text) : text_(text)
{
    for (size_t pos = 0; pos < text.size();) {
        starts_.push_back(pos);
        const size_t lf = text.find('\n', pos);
        pos = lf == std::string_view::npos ? text.size() : lf + 1;
    }
}

std::string_view ScriptLines::text(int index) const
{
    const std::string_view whole = end(index);
    if (index < 0 || index >= count())
        return {};
    return text_.substr(starts_[index], whole.data() - (text_.data() + starts_[index]));
}

std::string_view ScriptLines::end(int index) const
{
    if (index < 0 || index >= count())
        return {};
    const size_t start = starts_[index];
    const size_t stop = index + 1 < count() ? starts_[index + 1] : text_.size();
    if (stop == start || text_[stop - 1] != '\n')
        return text_.substr(stop, 0);
    // A CR goes with the LF after it; a last line without LF keeps its CR as text.
    const size_t cr = stop - 1 > start && text_[stop - 2] == '\r' ? stop - 2 : stop - 1;
    return text_.substr(cr, stop - cr);
}

PartLines ScriptLines::part(const ShowPlan& plan, int part) const
{
    PartLines lines;
    const int header = plan.partLines[part] - 1;
    for (int k = 0; k < PartLineCount; ++k)
        lines.lines[k] = std::string(text(header + k));
    lines.blankBefore = header > 0 && text(header - 1).empty();
    lines.known = true;
    return lines;
}

std::string WriteScript(std::string_view text, const ShowPlan& plan, const std::vector<WrittenPart>& parts)
{
    return ScriptWriter(text, plan).write(parts);
}
