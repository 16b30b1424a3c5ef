// Runs the real player's capture of a demo folder, as the tests that judge its pictures do.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <string>

// Captures the folder's frames up to toMs into frames at the given size ("320x180"); true
// when the player exits with 0.
inline bool CaptureFrames(const std::string& folder, const std::string& frames, int toMs,
                          const std::string& size = "320x180")
{
    const std::string player = TALDREX_BINARY_DIR "/src/taldrex";
    const std::string to = std::to_string(toMs);
    pid_t child = fork();
    if (child == 0) {
        const char* argv[] = {player.c_str(), "--capture", frames.c_str(), "--size", size.c_str(), "--to", to.c_str(),
                              folder.c_str(), nullptr};
        execv(player.c_str(), const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
