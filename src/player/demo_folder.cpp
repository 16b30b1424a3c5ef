#include "player/demo_folder.h"

#include "common/data_file.h"
#include "common/file_path.h"
#include "common/show_archive.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef TALDREX_INSTALLED_SHOW
#define TALDREX_INSTALLED_SHOW "/usr/local/share/taldrex/show"
#endif

std::string chooseDemoFolder(const std::string& dir, const char* programPath)
{
    if (!dir.empty() || access(resolveDataPath("script.txt").c_str(), F_OK) == 0)
        return dir;
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = length > 0 ? std::string(self, static_cast<size_t>(length))
                                     : std::string(programPath ? programPath : "");
    const std::string show = FindBundledShow(program, TALDREX_INSTALLED_SHOW);
    return show.empty() ? dir : show;
}

std::string FindBundledShow(const std::string& programFile, const std::string& installedShow)
{
    std::vector<std::string> candidates;
    // A bare name was found on the PATH: it says nothing of where the program lies, and
    // taken as it is it would pick a show/ from the current folder.
    const size_t slash = programFile.find_last_of('/');
    if (slash != std::string::npos) {
        const std::string programDir = programFile.substr(0, slash + 1);
        for (const char* place : {"show", "../show", "../share/taldrex/show"})
            candidates.push_back(programDir + place);
    }
    if (!installedShow.empty())
        candidates.push_back(installedShow);
    for (const std::string& candidate : candidates) {
        if (access((candidate + "/script.txt").c_str(), R_OK) == 0)
            return candidate;
    }
    return std::string();
}

std::string openDemoFolder(const std::string& dir, bool allowOutside, DataFolder& folder)
{
    struct stat info;
    if (IsArchivePath(dir) && stat(dir.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        std::string problem;
        if (!folder.open(dir, true, problem))
            return "can't open the archive \"" + dir + "\": " + problem;
        const DataFile script = folder.openFile("script.txt", ScriptFileLimit);
        if (!script)
            return "can't read script.txt in the archive \"" + dir + "\": " + script.problem;
        return std::string();
    }
    // The folder must be one the program could enter: a folder it may search.
    if (!dir.empty()) {
        int error = 0;
        if (stat(dir.c_str(), &info) != 0)
            error = errno;
        else if (!S_ISDIR(info.st_mode))
            error = ENOTDIR;
        else if (access(dir.c_str(), X_OK) != 0)
            error = errno;
        if (error != 0)
            return "can't open the demo folder \"" + dir + "\": " + std::strerror(error);
    }
    std::string problem;
    if (!folder.open(dir, !allowOutside, problem))
        return "can't open the demo folder \"" + (dir.empty() ? std::string(".") : dir) + "\": " + problem;
    const DataFile script = folder.openFile("script.txt", ScriptFileLimit);
    if (!script)
        return "can't read script.txt in the demo folder \"" + folder.root() + "\": " + script.problem;
    return std::string();
}
