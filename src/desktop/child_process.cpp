#include "desktop/child_process.h"

#include "desktop/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string defaultSearchPath()
{
    const size_t length = confstr(_CS_PATH, nullptr, 0);
    if (length == 0)
        return "/usr/bin:/bin";
    std::string path(length, '\0');
    confstr(_CS_PATH, &path[0], length);
    path.resize(length - 1);
    return path;
}

bool isExecutableFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

void closeAll(const std::vector<int>& fds)
{
    for (int fd : fds)
        close(fd);
}

} // namespace

std::string FindProgram(const std::string& name, const char* searchPath)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return std::string();
    const std::string path = searchPath ? searchPath : defaultSearchPath();
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(':', start);
        const std::string dir = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && dir[0] == '/') {
            const std::string candidate = dir + (dir.back() == '/' ? "" : "/") + name;
            if (isExecutableFile(candidate))
                return candidate;
        }
        if (end == std::string::npos)
            return std::string();
        start = end + 1;
    }
}

ChildProcess::~ChildProcess() { finish(); }

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<int>& passedFiles)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return false;

    // Every descriptor handed over is first copied above all the numbers they become, so
    // that no handover overwrites the source of another (with standard input closed, the
    // pipe itself may have come out as descriptor 0).
    const int firstFree = 3 + static_cast<int>(passedFiles.size());
    std::vector<int> sources;
    bool ok = true;
    for (int fd : passedFiles) {
        const int copy = fcntl(fd, F_DUPFD_CLOEXEC, firstFree);
        ok = ok && copy >= 0;
        if (copy >= 0)
            sources.push_back(copy);
    }
    const int readEnd = fcntl(pipeEnds[0], F_DUPFD_CLOEXEC, firstFree);
    const int writeEnd = fcntl(pipeEnds[1], F_DUPFD_CLOEXEC, firstFree);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    std::FILE* input = writeEnd >= 0 ? fdopen(writeEnd, "w") : nullptr;
    if (!ok || readEnd < 0 || !input) {
        const int error = errno;
        closeAll(sources);
        if (readEnd >= 0)
            close(readEnd);
        if (input)
            std::fclose(input);
        else if (writeEnd >= 0)
            close(writeEnd);
        errno = error;
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, readEnd, STDIN_FILENO);
    for (size_t i = 0; i < sources.size(); ++i)
        posix_spawn_file_actions_adddup2(&actions, sources[i], 3 + static_cast<int>(i));

    // The program starts with default signal handling and nothing blocked, whatever the
    // player ignores or blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);

    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    std::signal(SIGPIPE, SIG_IGN);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(readEnd);
    closeAll(sources);
    if (error != 0) {
        std::fclose(input);
        errno = error;
        return false;
    }
    pid_ = pid;
    input_ = input;
    return true;
}

int ChildProcess::finish()
{
    if (input_) {
        std::fclose(input_);
        input_ = nullptr;
    }
    if (pid_ < 0)
        return -1;
    int forwarded = StopSignalCount();
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (done < 0 && errno != EINTR) {
            pid_ = -1;
            return -1;
        }
        // The player's own part is over: a signal now is meant for the program.
        if (StopSignalCount() != forwarded) {
            forwarded = StopSignalCount();
            kill(pid_, StopSignal());
        }
        const timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
