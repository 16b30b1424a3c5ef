#include "common/data_file.h"

#include "common/file_path.h"
#include "common/show_archive.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The real path of path (symlinks followed), or empty with errno set.
std::string realPath(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    if (!real)
        return std::string();
    std::string result(real);
    std::free(real);
    return result;
}

const char* fileKind(mode_t mode)
{
    if (S_ISDIR(mode))
        return "is a folder, not a regular file";
    if (S_ISFIFO(mode))
        return "is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "is a device, not a regular file";
    if (S_ISSOCK(mode))
        return "is a socket, not a regular file";
    return "is not a regular file";
}

DataFile failure(DataFile result, DataFileError error, std::string problem)
{
    result.error = error;
    result.problem = std::move(problem);
    return result;
}

} // namespace

bool DataFolder::open(const std::string& path, bool confined, std::string& problem)
{
    std::string real = realPath(path.empty() ? "." : path);
    if (real.empty()) {
        problem = std::strerror(errno);
        return false;
    }
    // A file is no folder, unless it is an archive: every data file under it would be missing.
    struct stat info;
    const bool known = stat(real.c_str(), &info) == 0;
    const bool file = known && S_ISREG(info.st_mode);
    if (file && IsArchivePath(real)) {
        std::shared_ptr<ShowArchive> archive = ShowArchive::Open(real, problem);
        if (!archive)
            return false;
        archive_ = std::make_shared<std::shared_ptr<const ShowArchive>>(std::move(archive));
        root_ = real;
        confined_ = true;
        return true;
    }
    if (!known || file || !S_ISDIR(info.st_mode)) {
        problem = std::strerror(ENOTDIR);
        return false;
    }
    archive_.reset();
    root_ = real;
    confined_ = confined;
    problem.clear();
    return true;
}

bool DataFolder::reopen(std::string& problem) const
{
    problem.clear();
    if (!archive_)
        return true;
    std::shared_ptr<const ShowArchive> fresh = ShowArchive::Open(root_, problem);
    if (!fresh)
        return false;
    std::atomic_store(archive_.get(), std::move(fresh));
    return true;
}

std::shared_ptr<const ShowArchive> DataFolder::currentArchive() const
{
    return archive_ ? std::atomic_load(archive_.get()) : nullptr;
}

std::string DataFolder::resolve(const std::string& showPath) const
{
    const std::shared_ptr<const ShowArchive> archive = currentArchive();
    return archive ? archive->resolve(showPath) : resolveDataPath(showPath, root_);
}

std::string DataFolder::placeOf(const std::string& resolved) const
{
    if (const std::shared_ptr<const ShowArchive> archive = currentArchive())
        return root_ + "/" + archive->showFolder() + resolved;
    if (root_.empty() || (!resolved.empty() && resolved[0] == '/'))
        return resolved;
    return root_ == "/" ? "/" + resolved : root_ + "/" + resolved;
}

bool DataFolder::inside(const std::string& real) const
{
    if (!confined_ || root_.empty() || root_ == "/")
        return true;
    return real.size() > root_.size() && real.compare(0, root_.size(), root_) == 0 && real[root_.size()] == '/';
}

DataFile DataFolder::openEntry(const std::string& path, long long maxBytes) const
{
    const std::shared_ptr<const ShowArchive> archive = currentArchive();
    DataFile result;
    result.path = archive->resolve(path);
    DataFileError error = DataFileError::None;
    std::string problem;
    result.memory = archive->read(result.path, maxBytes, error, problem);
    if (!result.memory)
        return failure(std::move(result), error, std::move(problem));
    // A FILE over the inflated bytes, so that every reader reads an entry as it reads a
    // file; opened for reading only, so the shared bytes are never written.
    static unsigned char nothing;
    const std::vector<unsigned char>& bytes = *result.memory;
    void* start = bytes.empty() ? &nothing : const_cast<unsigned char*>(bytes.data());
    std::FILE* file = fmemopen(start, bytes.size(), "rb");
    if (!file) {
        result.memory.reset();
        return failure(std::move(result), DataFileError::Unreadable, std::strerror(errno));
    }
    result.file.reset(file);
    result.size = static_cast<long long>(bytes.size());
    return result;
}

DataFile DataFolder::openFile(const std::string& path, long long maxBytes) const
{
    if (archive_)
        return openEntry(path, maxBytes);
    DataFile result;
    result.path = resolve(path);
    const std::string place = placeOf(result.path);

    // Without a boundary the path is opened as named: an in-memory file's /proc path, say,
    // has no real path on disk.
    const std::string real = confined_ ? realPath(place) : place;
    if (real.empty()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return failure(std::move(result), DataFileError::Missing, "does not exist");
        return failure(std::move(result), DataFileError::Unreadable, std::strerror(errno));
    }
    if (!inside(real))
        return failure(std::move(result), DataFileError::Outside, "outside the demo folder");

    // The type is known before anything is opened: opening a device can have effects.
    struct stat before;
    if (stat(real.c_str(), &before) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return failure(std::move(result), DataFileError::Missing, "does not exist");
        return failure(std::move(result), DataFileError::Unreadable, std::strerror(errno));
    }
    if (!S_ISREG(before.st_mode))
        return failure(std::move(result), DataFileError::NotRegular, fileKind(before.st_mode));
    if (before.st_size > maxBytes)
        return failure(std::move(result), DataFileError::TooLarge,
            "is " + DescribeBytes(before.st_size) + ", more than the " + DescribeBytes(maxBytes) +
                " a file of its kind may be");

    // Non-blocking, so that a file swapped for a FIFO since the check cannot hang the open.
    const int fd = ::open(real.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failure(std::move(result), DataFileError::Unreadable, std::strerror(errno));
    struct stat opened;
    if (fstat(fd, &opened) != 0 || opened.st_dev != before.st_dev || opened.st_ino != before.st_ino ||
        !S_ISREG(opened.st_mode) || opened.st_size > maxBytes) {
        close(fd);
        return failure(std::move(result), DataFileError::Unreadable, "changed while it was being opened");
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "rb");
    if (!file) {
        close(fd);
        return failure(std::move(result), DataFileError::Unreadable, std::strerror(errno));
    }
    result.file.reset(file);
    result.size = opened.st_size;
    return result;
}

bool DataFolder::readFile(const std::string& path, long long maxBytes, std::vector<unsigned char>& bytes,
                          std::string& problem) const
{
    bytes.clear();
    DataFile data = openFile(path, maxBytes);
    if (!data) {
        problem = data.problem;
        return false;
    }
    bytes.resize(static_cast<size_t>(data.size));
    const size_t read = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), data.file.get());
    // A file that grew after it was measured is read only as far as it was measured.
    if (read != bytes.size() || std::ferror(data.file.get())) {
        bytes.clear();
        problem = "cannot be read whole";
        return false;
    }
    problem.clear();
    return true;
}

std::string DescribeBytes(long long bytes)
{
    char text[32];
    if (bytes >= (1LL << 30) && bytes % (1LL << 30) == 0)
        std::snprintf(text, sizeof text, "%lld GiB", bytes >> 30);
    else if (bytes >= (1LL << 30))
        std::snprintf(text, sizeof text, "%.1f GiB", bytes / double(1LL << 30));
    else if (bytes >= (1LL << 20) && bytes % (1LL << 20) == 0)
        std::snprintf(text, sizeof text, "%lld MiB", bytes >> 20);
    else if (bytes >= (1LL << 20))
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / double(1LL << 20));
    else
        std::snprintf(text, sizeof text, "%lld bytes", bytes);
    return text;
}
