#include "demo/show_files.h"

#include "common/ascii_case.h"
#include "demo/script_parser.h"

#include <algorithm>
#include <unordered_set>

namespace {

// The script's lines as written, without their terminators; line n is lines[n - 1].
std::vector<std::string_view> linesOf(std::string_view script)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        const size_t next = end == std::string_view::npos ? script.size() : end + 1;
        if (end == std::string_view::npos)
            end = script.size();
        if (end > start && script[end - 1] == '\r')
            --end;
        lines.push_back(script.substr(start, end - start));
        start = next;
    }
    return lines;
}

// path with "." and empty parts dropped and ".." taken back; false when it climbs out of
// the folder.
bool insidePath(const std::string& path, std::string& inside)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path + '/') {
        if (c != '/') {
            part += c;
            continue;
        }
        if (part == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    }
    inside.clear();
    for (const std::string& p : parts)
        inside += (inside.empty() ? "" : "/") + p;
    return !inside.empty();
}

} // namespace

std::vector<ShowFile> ShowFilesOf(std::string_view script)
{
    const std::vector<std::string_view> lines = linesOf(script);
    const ShowPlan plan = ParseScript(script);
    std::vector<ShowFile> files;
    std::unordered_set<std::string> seen;
    const auto add = [&files, &seen](std::string_view written) {
        ShowFile file;
        file.path = "data/" + std::string(written);
        std::replace(file.path.begin(), file.path.end(), '\\', '/');
        if (!seen.insert(file.path).second)
            return;
        std::string inside;
        if (insidePath(file.path, inside)) {
            file.names.push_back(inside);
            if (LowerCase(inside) != inside)
                file.names.push_back(LowerCase(inside));
        } else {
            file.refused = "outside the demo folder";
        }
        files.push_back(std::move(file));
    };
    add("Loading.jpg");
    for (const PlanEntry& entry : plan.entries)
        if (entry.firstListing && entry.line >= 1 && static_cast<size_t>(entry.line) <= lines.size())
            add(lines[static_cast<size_t>(entry.line) - 1]);
    return files;
}
