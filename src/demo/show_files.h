// The files a show's script names, for a platform that must fetch a show folder's files
// before the show reads them (a page gets them over HTTP, where no folder can be listed).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One file of the show, relative to its folder with '/' separators ("data/logo.png").
struct ShowFile {
    // The file as the script names it, with '/' separators ("data/../secret.png"), for
    // messages.
    std::string path;
    // The names to ask for, best first: as the script writes it, then in lower case (the
    // show finds files in any letter case; a server does not). Empty when refused.
    std::vector<std::string> names;
    // Why it is not fetched ("outside the demo folder"); empty when fetched.
    std::string refused;
};

// The loading picture and every file the script's soundtrack, texture and scene lists
// name, each once, in the script's order; script.txt itself is not among them. A name
// whose path leaves the folder, or is absolute, is listed refused and never asked for.
std::vector<ShowFile> ShowFilesOf(std::string_view script);
