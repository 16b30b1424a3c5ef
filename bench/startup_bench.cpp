// Start-up: wall time from starting a process to the moment its first captured frame is
// complete on disk (the file closed after writing). The player capturing the bundled
// show's first frame, beside a program that only creates the same off-screen context and
// writes one empty frame; and a window run of the bundled show (which also looks for the
// folder's problems before it plays) to the first frame of the show it swaps to the window,
// on SDL's off-screen video driver. TALDREX_BENCH_BASELINE_PLAYER names another build of
// the player whose window run is timed in the same run, for a before and after.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* firstFrame = "frame-000000.png";

// A scratch folder watched for the first frame's file being closed after writing.
class FrameWatch {
public:
    FrameWatch()
    {
        char pattern[] = "/tmp/taldrex-startup-XXXXXX";
        if (mkdtemp(pattern))
            dir = pattern;
        fd_ = inotify_init1(IN_CLOEXEC);
        if (fd_ >= 0 && !dir.empty())
            ok = inotify_add_watch(fd_, dir.c_str(), IN_CLOSE_WRITE) >= 0;
    }
    ~FrameWatch()
    {
        if (fd_ >= 0)
            close(fd_);
        if (!dir.empty()) {
            unlink((dir + "/" + firstFrame).c_str());
            rmdir(dir.c_str());
        }
    }

    // Waits until the first frame is closed after writing; false after 60 s without it.
    bool waitForFrame()
    {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 60000) <= 0)
                return false;
            ssize_t got = read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < got;) {
                auto* event = reinterpret_cast<inotify_event*>(buffer + at);
                if (event->len > 0 && std::strcmp(event->name, firstFrame) == 0)
                    return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    void removeFrame() { unlink((dir + "/" + firstFrame).c_str()); }

    std::string dir;
    bool ok = false;

private:
    int fd_ = -1;
};

// Starts the program with its output discarded and extra variables in its environment;
// returns its process id, or -1.
pid_t start(const std::vector<std::string>& arguments, const std::vector<std::string>& variables)
{
    std::vector<char*> env;
    for (const std::string& v : variables)
        env.push_back(const_cast<char*>(v.c_str()));
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    env.push_back(nullptr);
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// How a run is made: extra environment, and whether it is stopped once it has framed (a
// window run plays on until SIGTERM, and then ends with status 143).
struct RunKind {
    std::vector<std::string> variables;
    bool stopAfterFrame = false;
};

// What one run took besides the time to its first frame.
struct RunCost {
    double exitMs = 0; // from the start to the process's exit
    double cpuMs = 0;  // processor time of the whole process (all its threads, user and system)
};

// One run: milliseconds to the first frame, or a negative number when the run failed.
double timeToFirstFrame(FrameWatch& watch, const std::vector<std::string>& arguments, const RunKind& kind,
                        RunCost& cost)
{
    Clock::time_point started = Clock::now();
    pid_t pid = start(arguments, kind.variables);
    if (pid < 0)
        return -1;
    bool framed = watch.waitForFrame();
    Clock::time_point framedAt = Clock::now();
    if (kind.stopAfterFrame)
        kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    cost.exitMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0; };
    cost.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    watch.removeFrame();
    const int expected = kind.stopAfterFrame ? 128 + SIGTERM : 0;
    if (!framed || !WIFEXITED(status) || WEXITSTATUS(status) != expected)
        return -1;
    return std::chrono::duration<double, std::milli>(framedAt - started).count();
}

void timeStartUp(benchmark::State& state, const std::vector<std::string>& command, RunKind kind = {})
{
    FrameWatch watch;
    if (!watch.ok) {
        state.SkipWithError("cannot watch a scratch folder");
        return;
    }
    std::vector<std::string> arguments = command;
    for (std::string& a : arguments)
        if (a == "DIR")
            a = watch.dir;
    for (std::string& v : kind.variables)
        if (v.size() >= 3 && v.compare(v.size() - 3, 3, "DIR") == 0)
            v = v.substr(0, v.size() - 3) + watch.dir + "/" + firstFrame;
    RunCost cost;
    // The first run brings the program, its libraries and the show into the page cache.
    if (timeToFirstFrame(watch, arguments, kind, cost) < 0) {
        state.SkipWithError(("no first frame from " + command[0]).c_str());
        return;
    }
    double exitSum = 0, cpuSum = 0;
    for (auto _ : state) {
        double ms = timeToFirstFrame(watch, arguments, kind, cost);
        if (ms < 0) {
            state.SkipWithError(("no first frame from " + command[0]).c_str());
            return;
        }
        state.SetIterationTime(ms / 1000.0);
        exitSum += cost.exitMs;
        cpuSum += cost.cpuMs;
    }
    // On a busy machine the wall time waits for other work; the processor time does not.
    state.counters["to_exit_ms"] = exitSum / static_cast<double>(state.iterations());
    state.counters["cpu_ms"] = cpuSum / static_cast<double>(state.iterations());
}

void BM_PlayerFirstFrame(benchmark::State& state)
{
    timeStartUp(state, {TALDREX_PLAYER, "--capture", "DIR", "--to", "0", TALDREX_BUNDLED_SHOW});
}
BENCHMARK(BM_PlayerFirstFrame)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EmptyFrame(benchmark::State& state) { timeStartUp(state, {TALDREX_EMPTY_FRAME, "DIR"}); }
BENCHMARK(BM_EmptyFrame)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// A window run of the bundled show by player, to the first frame of the show.
void timeWindowRun(benchmark::State& state, const std::string& player)
{
    RunKind kind;
    kind.variables = {"SDL_VIDEODRIVER=offscreen", std::string("LD_PRELOAD=") + TALDREX_SHOW_FRAME_MARK,
                      "TALDREX_BENCH_FRAME_FILE=DIR"};
    kind.stopAfterFrame = true;
    timeStartUp(state, {player, "--mode", "window", "--no-sound", TALDREX_BUNDLED_SHOW}, kind);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("BM_WindowRunFirstFrame", timeWindowRun, std::string(TALDREX_PLAYER))
        ->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
    if (const char* baseline = std::getenv("TALDREX_BENCH_BASELINE_PLAYER"))
        benchmark::RegisterBenchmark("BM_WindowRunFirstFrame/baseline", timeWindowRun, std::string(baseline))
            ->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
