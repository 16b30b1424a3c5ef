#include "desktop/file_watch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <functional>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bounds on what is watched, so that a deep or looping tree (through links) of a folder
// from a stranger costs neither unbounded watches nor unbounded scanning.
constexpr int MaxDepth = 16;
constexpr size_t MaxFolders = 1024;
constexpr size_t MaxFiles = 100000;

constexpr uint32_t FolderEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
    IN_MOVED_FROM | IN_MOVED_TO | IN_MOVE_SELF | IN_ONLYDIR;

bool isDataName(const char* name)
{
    static const char data[] = "data";
    for (int i = 0; i < 4; ++i) {
        const char c = name[i];
        if (c == '\0' || (c | 0x20) != data[i])
            return false;
    }
    return name[4] == '\0';
}

// Whether a folder met at relative path parent (empty for the watched folder itself) is
// watched: the data folders of the top, and everything below them.
bool watchedFolder(const std::string& parent, const char* name) { return !parent.empty() || isDataName(name); }

// Calls visit(name, isFolder) for each regular file and folder in the folder at path
// (links followed); false when the folder cannot be read.
bool listFolder(const std::string& path, const std::function<void(const char*, const struct stat&)>& visit)
{
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return false;
    std::string entryPath;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        entryPath.assign(path).append("/").append(name);
        struct stat info;
        if (stat(entryPath.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode) || S_ISREG(info.st_mode))
            visit(name, info);
    }
    closedir(dir);
    return true;
}

long long nanoseconds(const struct timespec& time) { return time.tv_sec * 1000000000LL + time.tv_nsec; }

} // namespace

FileWatch::~FileWatch() { stop(); }

bool FileWatch::start(const std::string& folder, Method method)
{
    stop();
    struct stat info;
    if (folder.empty() || stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        access(folder.c_str(), R_OK | X_OK) != 0)
        return false;
    folder_ = folder;
    method_ = method;
    if (method_ == Method::Inotify) {
        inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_ < 0)
            method_ = Method::Polling;
    }
    if (method_ == Method::Inotify) {
        watchTree(std::string(), 0, false, Clock::now());
        if (folders_.empty()) {
            close(inotify_);
            inotify_ = -1;
            method_ = Method::Polling;
        }
    }
    if (method_ == Method::Polling) {
        // The first look is the baseline: only what differs from it later is a change.
        known_ = snapshot();
        stopping_ = false;
        poller_ = std::thread(&FileWatch::pollLoop, this);
    }
    return true;
}

void FileWatch::stop()
{
    if (poller_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        poller_.join();
    }
    if (inotify_ >= 0)
        close(inotify_);
    inotify_ = -1;
    folders_.clear();
    pending_.clear();
    ready_.clear();
    found_.clear();
    known_.clear();
    anyFound_ = false;
    lost_ = lostReported_ = false;
}

const std::vector<std::string>& FileWatch::poll()
{
    ready_.clear();
    lostReported_ = false;
    const Clock::time_point now = Clock::now();
    if (inotify_ >= 0)
        readEvents(now);
    if (anyFound_.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(mutex_);
        // Polling already spaces its looks half a second apart: what it found is reported at once.
        for (const std::string& path : found_)
            mark(path, now - settle_);
        found_.clear();
        anyFound_.store(false, std::memory_order_relaxed);
    }
    if (pending_.empty() && !lost_)
        return ready_;

    for (size_t i = 0; i < pending_.size();) {
        if (now - pending_[i].last >= settle_) {
            ready_.push_back(std::move(pending_[i].path));
            pending_[i] = std::move(pending_.back());
            pending_.pop_back();
        } else {
            ++i;
        }
    }
    if (lost_ && pending_.empty()) {
        lostReported_ = true;
        lost_ = false;
    }
    return ready_;
}

void FileWatch::mark(const std::string& path, Clock::time_point when)
{
    for (Pending& pending : pending_) {
        if (pending.path == path) {
            pending.last = when;
            return;
        }
    }
    pending_.push_back(Pending{path, when});
}

void FileWatch::watchTree(const std::string& relative, int depth, bool reportFiles, Clock::time_point now)
{
    if (depth > MaxDepth || folders_.size() >= MaxFolders)
        return;
    const std::string path = relative.empty() ? folder_ : folder_ + "/" + relative;
    const int watch = inotify_add_watch(inotify_, path.c_str(), FolderEvents);
    if (watch < 0)
        return;
    const std::string prefix = relative.empty() ? std::string() : relative + "/";
    folders_[watch] = prefix;
    // Files already in a folder that appeared after the watch began were never seen.
    listFolder(path, [&](const char* name, const struct stat& info) {
        if (S_ISDIR(info.st_mode)) {
            if (watchedFolder(relative, name))
                watchTree(prefix + name, depth + 1, reportFiles, now);
        } else if (reportFiles) {
            mark(prefix + name, now);
        }
    });
}

void FileWatch::readEvents(Clock::time_point now)
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = read(inotify_, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                lost_ = true;
                continue;
            }
            auto folder = folders_.find(event->wd);
            if (folder == folders_.end())
                continue;
            if (event->mask & IN_IGNORED) {
                folders_.erase(folder);
                continue;
            }
            if (event->mask & IN_MOVE_SELF) {
                // A folder moved elsewhere no longer has the path it is known by; if it comes
                // back, its parent's watch sees it arrive.
                inotify_rm_watch(inotify_, event->wd);
                folders_.erase(folder);
                continue;
            }
            if (event->len == 0 || event->name[0] == '\0')
                continue;
            const std::string& prefix = folder->second;
            if (event->mask & IN_ISDIR) {
                if ((event->mask & (IN_CREATE | IN_MOVED_TO)) &&
                    watchedFolder(prefix, event->name)) {
                    const std::string relative = prefix + event->name;
                    watchTree(relative, static_cast<int>(std::count(relative.begin(), relative.end(), '/')) + 1,
                        true, now);
                }
                continue;
            }
            mark(prefix + event->name, now);
        }
    }
}

std::map<std::string, FileWatch::Stamp> FileWatch::snapshot() const
{
    std::map<std::string, Stamp> files;
    size_t folders = 0;
    std::function<void(const std::string&, int)> scan = [&](const std::string& relative, int depth) {
        if (depth > MaxDepth || ++folders > MaxFolders)
            return;
        const std::string prefix = relative.empty() ? std::string() : relative + "/";
        listFolder(relative.empty() ? folder_ : folder_ + "/" + relative,
            [&](const char* name, const struct stat& info) {
                if (S_ISDIR(info.st_mode)) {
                    if (watchedFolder(relative, name))
                        scan(prefix + name, depth + 1);
                } else if (files.size() < MaxFiles) {
                    Stamp stamp;
                    stamp.size = info.st_size;
                    stamp.mtimeNs = nanoseconds(info.st_mtim);
                    stamp.ctimeNs = nanoseconds(info.st_ctim);
                    stamp.inode = info.st_ino;
                    files.emplace(prefix + name, stamp);
                }
            });
    };
    scan(std::string(), 0);
    return files;
}

void FileWatch::pollLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (wake_.wait_for(lock, PollInterval, [this] { return stopping_; }))
            return;
        lock.unlock();
        std::map<std::string, Stamp> now = snapshot();
        std::vector<std::string> changed;
        // Both maps are sorted: one walk finds what appeared, changed and went.
        auto before = known_.begin();
        auto after = now.begin();
        while (before != known_.end() || after != now.end()) {
            if (after == now.end() || (before != known_.end() && before->first < after->first)) {
                changed.push_back(before->first);
                ++before;
            } else if (before == known_.end() || after->first < before->first) {
                changed.push_back(after->first);
                ++after;
            } else {
                if (before->second != after->second)
                    changed.push_back(after->first);
                ++before;
                ++after;
            }
        }
        known_ = std::move(now);
        lock.lock();
        if (!changed.empty()) {
            found_.insert(found_.end(), changed.begin(), changed.end());
            anyFound_.store(true, std::memory_order_release);
        }
    }
}
