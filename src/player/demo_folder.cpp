#include "player/demo_folder.h"

#include "common/data_file.h"
#include "common/file_path.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

std::string chooseDemoFolder(const std::string& dir, const char* programPath)
{
    if (!dir.empty() || access(resolveDataPath("script.txt").c_str(), F_OK) == 0)
        return dir;
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = length > 0 ? std::string(self, static_cast<size_t>(length)) : programPath;
    std::string programDir = program.substr(0, program.find_last_of('/') + 1);
    // Beside the program, in the build tree above it, or under the install prefix.
    for (const char* place : {"show", "../show", "../share/taldrex/show"}) {
        std::string candidate = programDir + place;
        if (access((candidate + "/script.txt").c_str(), R_OK) == 0)
            return candidate;
    }
    return dir;
}

std::string enterDemoFolder(const std::string& dir, bool allowOutside)
{
    if (!dir.empty() && chdir(dir.c_str()) != 0)
        return "can't open the demo folder \"" + dir + "\": " + std::strerror(errno);

    char cwd[PATH_MAX];
    const std::string folder = getcwd(cwd, sizeof cwd) ? cwd : (dir.empty() ? "." : dir);
    if (!SetDemoFolderBoundary(allowOutside ? std::string() : folder))
        return "can't open the demo folder \"" + folder + "\": " + std::strerror(errno);
    const DataFile script = OpenDataFile("script.txt", ScriptFileLimit);
    if (!script)
        return "can't read script.txt in the demo folder \"" + folder + "\": " + script.problem;
    return std::string();
}
