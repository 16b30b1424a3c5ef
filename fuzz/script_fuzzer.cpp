// Fuzzes the demo script's grammar: the plan it reads must keep its promises.
#include "demo/script_parser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Keys and names come lower-cased and without their line feed.
void checkName(const std::string& name)
{
    for (char c : name)
        if ((c >= 'A' && c <= 'Z') || c == '\n')
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ShowPlan plan = ParseScript(std::string(reinterpret_cast<const char*>(data), size));
    int line = 0;
    for (const PlanEntry& entry : plan.entries) {
        checkName(entry.key);
        // Entries come in file order.
        if (entry.line <= line)
            std::abort();
        line = entry.line;
    }
    for (const TimelineEntry& part : plan.parts)
        for (const std::string* name : {&part.sceneName, &part.cameraName, &part.backgroundName, &part.overlayName})
            checkName(*name);
    if (plan.partLines.size() != static_cast<size_t>(plan.parts.size()))
        std::abort();
    return 0;
}
