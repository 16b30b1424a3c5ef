#include "player/script_save.h"

#include "common/data_file.h"
#include "common/printable_text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The temporary files a save writes are named so in the script's folder.
constexpr const char* SavingPrefix = "/.script.txt.saving-";

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes bytes into a new file of folder, flushed to the disk, with mode, and renames it to
// target. Returns false with problem set, leaving target as it was and no file behind.
bool replaceFile(const std::string& folder, const std::string& target, const char* bytes, size_t size, mode_t mode,
                 std::string& problem)
{
    std::string name = folder + SavingPrefix + "XXXXXX";
    std::vector<char> path(name.begin(), name.end());
    path.push_back('\0');
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        problem = PrintableText(folder) + " cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, bytes + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    const int error = written < size ? (errno ? errno : EIO)
        : fchmod(fd, mode) != 0 || fsync(fd) != 0 ? errno
                                                   : 0;
    if (::close(fd) != 0 || error != 0 || std::rename(path.data(), target.c_str()) != 0) {
        problem = PrintableText(target) + " cannot be written (" + std::strerror(error ? error : errno) + ")";
        ::unlink(path.data());
        return false;
    }
    return true;
}

// Removes what saves cut short by a crash left in folder: their temporary files.
void removeLeftovers(const std::string& folder)
{
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        return;
    const std::string prefix = std::string(SavingPrefix).substr(1);
    while (const dirent* entry = ::readdir(entries))
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            ::unlink((folder + "/" + entry->d_name).c_str());
    ::closedir(entries);
}

// Flushes the folder's entries, so that the renames survive a crash of the machine too.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    ::close(fd);
}

} // namespace

bool SaveShowScript(const DataFolder& folder, const std::string& text, std::string& problem)
{
    if (folder.archive()) {
        problem = "the show is played from " + PrintableText(folder.root()) + ", which is never written to";
        return false;
    }
    std::vector<unsigned char> previous;
    if (!folder.readFile("script.txt", ScriptFileLimit, previous, problem))
        return false;
    const std::string script = folder.placeOf(folder.resolve("script.txt"));
    const std::string place = folderOf(script);
    removeLeftovers(place);
    struct stat status {};
    const mode_t mode = ::stat(script.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0644;
    if (!replaceFile(place, script + "~", reinterpret_cast<const char*>(previous.data()), previous.size(), mode,
            problem))
        return false;
    if (!replaceFile(place, script, text.data(), text.size(), mode, problem))
        return false;
    syncFolder(place);
    return true;
}
