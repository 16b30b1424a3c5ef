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

private:
    std::string_view text_;
    size_t pos_ = 0;
};

enum class ListKind { Mp3, Textures, Scenes };

void readList(LineReader& lines, ListKind kind, ScriptSink& sink)
{
    std::string line;
    while (lines.next(line) && !line.empty()) {
        std::string entry = LowerCase(line);
        switch (kind) {
        case ListKind::Mp3: sink.mp3Entry(entry); break;
        case ListKind::Textures: sink.textureEntry(entry); break;
        case ListKind::Scenes: sink.sceneEntry(entry); break;
        }
    }
}

// The five lines after "[part]", read whatever they hold; missing ones are empty.
void readPart(LineReader& lines, ScriptSink& sink)
{
    std::string text[5];
    for (std::string& line : text)
        if (!lines.next(line))
            line.clear();
    TimelineEntry entry;
    entry.sceneName = LowerCase(text[0]);
    entry.endTime = ParseEndTime(text[1]);
    entry.cameraName = LowerCase(text[2]);
    entry.backgroundName = LowerCase(text[3]);
    entry.overlayName = LowerCase(text[4]);
    sink.part(entry);
}

} // namespace

std::string LowerCase(const std::string& line)
{
    std::string lower = line;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

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

namespace {

// Counts the parts, and nothing else, of what it is given.
class PartCounter : public ScriptSink {
public:
    void mp3Entry(const std::string&) override {}
    void textureEntry(const std::string&) override {}
    void sceneEntry(const std::string&) override {}
    void part(const TimelineEntry&) override { ++count; }

    int count = 0;
};

void parseLines(std::string_view text, ScriptSink& sink)
{
    LineReader lines(text);
    std::string line;
    while (lines.next(line)) {
        if (line.empty())
            continue;
        std::string lower = LowerCase(line);
        if (lower.find("[mp3]") != std::string::npos)
            readList(lines, ListKind::Mp3, sink);
        else if (lower.find("[textures]") != std::string::npos)
            readList(lines, ListKind::Textures, sink);
        else if (lower.find("[scenes]") != std::string::npos)
            readList(lines, ListKind::Scenes, sink);
        else if (lower.find("[part]") != std::string::npos)
            readPart(lines, sink);
    }
}

} // namespace

void ParseScript(std::string_view text, ScriptSink& sink)
{
    PartCounter counter;
    parseLines(text, counter);
    sink.partCount(counter.count);
    parseLines(text, sink);
}
