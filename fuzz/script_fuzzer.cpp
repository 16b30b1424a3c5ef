// Fuzzes the demo script's grammar, with recorders in place of the loaders.
#include "demo/script_parser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Keeps what the parser hands over, as the loaders would, and checks its promises.
class Recorder : public ScriptSink {
public:
    void mp3Entry(const std::string& line) override { keep(line); }
    void textureEntry(const std::string& line) override { keep(line); }
    void sceneEntry(const std::string& line) override { keep(line); }
    void part(const TimelineEntry& entry) override
    {
        keep(entry.sceneName);
        keep(entry.cameraName);
        keep(entry.backgroundName);
        keep(entry.overlayName);
        parts.append(entry);
    }

    std::vector<std::string> lines;
    TimelineArray parts;

private:
    void keep(const std::string& line)
    {
        // Entries arrive lower-cased and without their line feed.
        for (char c : line)
            if ((c >= 'A' && c <= 'Z') || c == '\n')
                std::abort();
        lines.push_back(line);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Recorder recorder;
    ParseScript(std::string(reinterpret_cast<const char*>(data), size), recorder);
    return 0;
}
