// The entries of a show's script that the exporter needs: its texture and scene lines, in
// the order the script gives them.
#pragma once

#include "demo/script_parser.h"

#include <string>
#include <utility>
#include <vector>

struct Entries : ScriptSink {
    std::vector<std::pair<std::string, std::string>> list;
    void mp3Entry(const std::string&) override {}
    void textureEntry(const std::string& line) override { list.push_back({"texture", line}); }
    void sceneEntry(const std::string& line) override { list.push_back({"scene", line}); }
    void part(const TimelineEntry&) override {}
};
