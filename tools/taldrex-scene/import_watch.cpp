#include "import_watch.h"

#include "common/printable_text.h"
#include "desktop/stop_signals.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <set>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// The most of a model's JSON read to find the files it names.
constexpr size_t MostJsonBytes = size_t(256) << 20;

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& uri)
{
    std::string out;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hexValue(uri[i + 1]) >= 0 && hexValue(uri[i + 2]) >= 0) {
            out += char(hexValue(uri[i + 1]) * 16 + hexValue(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

// The JSON string whose opening quote is before pos, with its simple escapes undone; pos
// ends past the closing quote. False when the text ends first.
bool readJsonString(const std::string& text, size_t& pos, std::string& value)
{
    value.clear();
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '"')
            return true;
        if (c == '\\' && pos < text.size())
            c = text[pos++];
        value += c;
    }
    return false;
}

// The model's JSON: the whole file for .gltf, the first chunk for GLB. Empty when the file
// cannot be read.
std::string modelJson(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return {};
    unsigned char header[20];
    size_t want = MostJsonBytes;
    const size_t got = std::fread(header, 1, sizeof header, file);
    if (got == sizeof header && std::memcmp(header, "glTF", 4) == 0) {
        const uint32_t chunk = uint32_t(header[12]) | uint32_t(header[13]) << 8 | uint32_t(header[14]) << 16 |
            uint32_t(header[15]) << 24;
        want = std::min<size_t>(chunk, want);
    } else {
        std::rewind(file);
    }
    std::string json;
    char buffer[65536];
    size_t n;
    while (json.size() < want && (n = std::fread(buffer, 1, std::min(sizeof buffer, want - json.size()), file)) > 0)
        json.append(buffer, n);
    std::fclose(file);
    return json;
}

// What an import printed into file, read back from its start.
std::string captured(std::FILE* file)
{
    std::string text;
    std::rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

std::string timeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string lineOf(const std::string& text, size_t index)
{
    size_t start = 0;
    for (size_t i = 0; i < index && start != std::string::npos; ++i) {
        start = text.find('\n', start);
        start = start == std::string::npos ? start : start + 1;
    }
    if (start == std::string::npos || start >= text.size())
        return {};
    return text.substr(start, text.find('\n', start) - start);
}

// Saves in the folders of the files followed, through inotify.
class SaveWatch {
public:
    SaveWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~SaveWatch()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

    // Follows files (the model first) in place of those followed so far. False, with errno,
    // when the model's folder cannot be watched; other folders that cannot are left out.
    bool follow(const std::vector<std::string>& files)
    {
        files_.clear();
        for (size_t i = 0; i < files.size(); ++i) {
            // Written in place, renamed over or made again: each is a save.
            const int wd = fd_ < 0 ? -1 : inotify_add_watch(fd_, folderOf(files[i]).c_str(),
                IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB);
            if (wd < 0 && i == 0)
                return false;
            if (wd >= 0)
                files_.insert({wd, nameOf(files[i])});
        }
        return true;
    }

    // Waits up to timeoutMs for events. Returns true when any concerned a file followed, or
    // the system lost some; false after the time, on a signal, or for other files' events.
    bool wait(int timeoutMs)
    {
        pollfd entry = {fd_, POLLIN, 0};
        if (poll(&entry, 1, timeoutMs) <= 0)
            return false;
        bool followed = false;
        alignas(inotify_event) char buffer[16384];
        ssize_t length;
        while ((length = read(fd_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && files_.count({event->wd, event->name}) > 0))
                    followed = true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return followed;
    }

private:
    int fd_;
    std::set<std::pair<int, std::string>> files_; // by watch of the folder, and name
};

class WatchRun {
public:
    WatchRun(const WatchSettings& settings, const ImportRun& import, std::FILE* log)
        : settings_(settings), import_(import), log_(log)
    {
    }

    // Imports and prints its line. Returns the import's status.
    int importOnce()
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = import_(out ? out : log_, err ? err : stderr);
        const std::string outText = out ? captured(out) : std::string();
        const std::string errText = err ? captured(err) : std::string();
        if (status == 2) {
            std::fputs(errText.c_str(), stderr);
            return status;
        }
        const std::string line = WatchLine(timeOfDay(), status, outText, errText, anyGood_);
        std::fprintf(log_, "%s\n", line.c_str());
        std::fflush(log_);
        anyGood_ = anyGood_ || status == 0;
        return status;
    }

    // The model and what it names now; the files named before when it cannot be read.
    std::vector<std::string> files()
    {
        const std::string json = modelJson(settings_.model);
        if (!json.empty())
            named_ = ReferencedFiles(settings_.model, json);
        std::vector<std::string> all{settings_.model};
        all.insert(all.end(), named_.begin(), named_.end());
        return all;
    }

    bool stopped() const { return StopSignal() != 0 || (settings_.stop && settings_.stop->load()); }

private:
    const WatchSettings& settings_;
    const ImportRun& import_;
    std::FILE* log_;
    std::vector<std::string> named_;
    bool anyGood_ = false;
};

} // namespace

std::vector<std::string> ReferencedFiles(const std::string& modelPath, const std::string& json)
{
    std::vector<std::string> files;
    const std::string folder = folderOf(modelPath);
    std::string key, value;
    for (size_t pos = json.find('"'); pos != std::string::npos; pos = json.find('"', pos)) {
        ++pos;
        if (!readJsonString(json, pos, key))
            break;
        if (key != "uri")
            continue;
        const size_t colon = json.find_first_not_of(" \t\r\n", pos);
        if (colon == std::string::npos || json[colon] != ':')
            continue;
        pos = json.find_first_not_of(" \t\r\n", colon + 1);
        if (pos == std::string::npos || json[pos] != '"')
            continue;
        ++pos;
        if (!readJsonString(json, pos, value))
            break;
        if (value.empty() || value.compare(0, 5, "data:") == 0)
            continue;
        const std::string decoded = percentDecoded(value);
        files.push_back(decoded[0] == '/' ? decoded : folder + "/" + decoded);
    }
    return files;
}

std::string WatchLine(const std::string& stamp, int status, const std::string& out, const std::string& err,
                      bool anyGood)
{
    if (status == 0) {
        std::string line = stamp + " " + lineOf(out, 0);
        std::string counts = lineOf(out, 1);
        const size_t first = counts.find_first_not_of(' ');
        if (first != std::string::npos)
            line += " (" + counts.substr(first) + ")";
        int warnings = 0;
        for (size_t at = out.find("\nwarning: "); at != std::string::npos; at = out.find("\nwarning: ", at + 1))
            ++warnings;
        if (warnings > 0)
            line += "; " + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
        return line;
    }
    std::string reason = lineOf(err, 0);
    const std::string prefix = "taldrex-scene: ";
    const std::string suffix = "; nothing written";
    if (reason.compare(0, prefix.size(), prefix) == 0)
        reason.erase(0, prefix.size());
    if (reason.size() >= suffix.size() && reason.compare(reason.size() - suffix.size(), suffix.size(), suffix) == 0)
        reason.erase(reason.size() - suffix.size());
    if (reason.empty())
        reason = "the import failed";
    return stamp + " not imported: " + reason +
        (anyGood ? "; kept the last good import" : "; nothing imported yet, waiting for the next save");
}

int RunImportWatch(const WatchSettings& settings, const ImportRun& import, std::FILE* log)
{
    SaveWatch watch;
    if (!watch.follow({settings.model})) {
        std::fprintf(stderr, "taldrex-scene: %s: its folder cannot be watched (%s)\n",
            PrintableText(settings.model).c_str(), std::strerror(errno));
        return 1;
    }
    WatchRun run(settings, import, log);
    if (run.importOnce() == 2)
        return 2;
    std::vector<std::string> files = run.files();
    watch.follow(files);
    std::fprintf(log, "watching %s and %zu file%s it names for saves; Ctrl-C stops\n",
        PrintableText(settings.model).c_str(), files.size() - 1, files.size() == 2 ? "" : "s");
    std::fflush(log);

    bool saved = false;
    Clock::time_point lastSave;
    while (!run.stopped()) {
        int timeout = 100;
        if (saved) {
            const auto quietFor = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastSave);
            timeout = int(std::max<long long>(0, (settings.quiet - quietFor).count()));
        }
        if (watch.wait(timeout)) {
            saved = true;
            lastSave = Clock::now();
            continue;
        }
        if (saved && Clock::now() - lastSave >= settings.quiet) {
            saved = false;
            run.importOnce();
            watch.follow(run.files());
        }
    }
    return StopSignal() != 0 ? StopSignalStatus() : 0;
}
