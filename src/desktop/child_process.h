// Programs started without a shell: found on PATH by the player itself, given their
// arguments as a vector, fed through a pipe into their standard input and waited for.
#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

// The path of the executable regular file name in the directories of searchPath (a PATH
// value; the system's default path when null). Only absolute directories are searched:
// the player runs inside demo folders from others, where a relative entry would find
// their files. Returns empty when none holds it or name is empty or holds a '/'.
std::string FindProgram(const std::string& name, const char* searchPath);

class ChildProcess {
public:
    ChildProcess() = default;
    // Finishes the program when it still runs, so that none is left behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program (a path) with args (args[0] being its name) and the environment, in
    // a process group of its own, so that Ctrl-C at the terminal reaches only the player,
    // which then ends the program through the pipe. Its standard input is a pipe from
    // input(); passedFiles become its descriptors 3, 4, ... SIGPIPE is ignored from then
    // on, so that a write to a program that ended fails instead of ending the player.
    // Returns false, with errno set, when the program cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args, const std::vector<int>& passedFiles);

    // The writing end of the pipe; null before start and after finish.
    std::FILE* input() const { return input_; }
    // The program's process id (also its process group's); -1 when none runs.
    pid_t pid() const { return pid_; }

    // Closes the pipe and waits for the program to end; each stop signal (SIGINT, SIGTERM)
    // that arrives meanwhile is passed on to it. Returns its exit status, or -1 when a
    // signal ended it, it could not be waited for or none was started.
    int finish();

private:
    std::FILE* input_ = nullptr;
    pid_t pid_ = -1;
};
