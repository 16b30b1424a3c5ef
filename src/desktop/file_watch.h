// FileWatch: which files of a demo folder changed on disk, asked once a frame without
// blocking. Through inotify; where inotify is missing, by looking at the files twice a
// second on a thread of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class FileWatch {
public:
    enum class Method { Inotify, Polling };

    FileWatch() = default;
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Watches the files directly in folder and, at any depth, the files under its subfolders
    // named "data" in any letter case (also those made later). Inotify falls back to polling
    // when the system has none. Returns false when folder cannot be watched at all (it is
    // not a readable folder); a watch already running is stopped first.
    bool start(const std::string& folder, Method method = Method::Inotify);
    // Stops watching; poll() reports nothing afterwards.
    void stop();

    // The files that changed, appeared, were replaced (renamed over) or went away since the
    // last call, once nothing more has happened to them for the settle time: paths relative
    // to the folder, '/'-separated, as on disk, each once. Empty when nothing did, without
    // allocating. The list is valid until the next call.
    const std::vector<std::string>& poll();
    // After poll(): true when the system lost events (its queue overflowed), so any file may
    // have changed without being listed.
    bool lostEvents() const { return lostReported_; }

    // How long a file must stay untouched before it is reported, so that a file written in
    // several steps is reported once, complete (inotify only; polling looks twice a second).
    void setSettleTime(std::chrono::milliseconds settle) { settle_ = settle; }
    Method method() const { return method_; }

    // Time between two looks at the files when polling.
    static constexpr std::chrono::milliseconds PollInterval{500};

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        std::string path;
        Clock::time_point last;
    };
    // What identifies a version of a file when polling.
    struct Stamp {
        long long size = 0;
        long long mtimeNs = 0;
        long long ctimeNs = 0;
        unsigned long long inode = 0;
        bool operator!=(const Stamp& other) const
        {
            return size != other.size || mtimeNs != other.mtimeNs || ctimeNs != other.ctimeNs ||
                inode != other.inode;
        }
    };

    void readEvents(Clock::time_point now);
    void watchTree(const std::string& relative, int depth, bool reportFiles, Clock::time_point now);
    void mark(const std::string& path, Clock::time_point when);
    std::map<std::string, Stamp> snapshot() const;
    void pollLoop();

    std::string folder_;
    Method method_ = Method::Inotify;
    std::chrono::milliseconds settle_{100};
    std::vector<Pending> pending_;
    std::vector<std::string> ready_;
    bool lost_ = false;
    bool lostReported_ = false;

    // inotify: the watched folders by watch descriptor, relative paths ending in '/' (empty
    // for the folder itself).
    int inotify_ = -1;
    std::unordered_map<int, std::string> folders_;

    // Polling: the thread, the changes it found for poll() to collect, and how to stop it.
    std::thread poller_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<std::string> found_;
    std::atomic<bool> anyFound_{false};
    std::map<std::string, Stamp> known_;
};
