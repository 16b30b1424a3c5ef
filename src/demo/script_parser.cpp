#include "demo/script_parser.h"

#include <climits>
#include <algorithm>
#include <cstdint>

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

// What a top-level line opens: the first of the headers, in this order, that it holds.
enum class Section { None, Mp3, Textures, Scenes, Part };

Section sectionOf(const std::string& lower)
{
    if (lower.find("[mp3]") != std::string::npos)
        return Section::Mp3;
    if (lower.find("[textures]") != std::string::npos)
        return Section::Textures;
    if (lower.find("[scenes]") != std::string::npos)
        return Section::Scenes;
    if (lower.find("[part]") != std::string::npos)
        return Section::Part;
    return Section::None;
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

// Walks the script by its grammar, telling sink what it finds; with no sink it only counts.
// Returns the number of parts.
int walkScript(std::string_view text, ScriptSink* sink)
{
    LineReader lines(text);
    std::string line, lower;
    std::string part[5];
    int parts = 0;
    while (lines.next(line)) {
        if (line.empty())
            continue;
        lowerInto(line, lower);
        const Section section = sectionOf(lower);
        bool empty = false;
        if (section == Section::Part) {
            // The five lines are read whatever they hold; missing ones are empty.
            ++parts;
            if (!sink) {
                for (int i = 0; i < 5; ++i)
                    lines.skip(empty);
                continue;
            }
            sink->lineNumber(lines.number());
            for (std::string& partLine : part)
                if (!lines.next(partLine))
                    partLine.clear();
            sink->part(partOf(part));
            continue;
        }
        if (section == Section::None) {
            if (sink)
                sink->ignoredLine(lines.number(), lower);
            continue;
        }
        // A list runs to the first empty line, which it consumes, or to the end.
        if (!sink) {
            while (lines.skip(empty) && !empty) {
            }
            continue;
        }
        while (lines.next(line) && !line.empty()) {
            lowerInto(line, lower);
            sink->lineNumber(lines.number());
            if (section == Section::Mp3)
                sink->mp3Entry(lower);
            else if (section == Section::Textures)
                sink->textureEntry(lower);
            else
                sink->sceneEntry(lower);
        }
    }
    return parts;
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

void ParseScript(std::string_view text, ScriptSink& sink)
{
    sink.partCount(walkScript(text, nullptr));
    walkScript(text, &sink);
}
