// Data files of a show: found in any letter case, kept inside the demo folder, only
// regular files, opened without blocking and refused beyond a size limit, so that a
// folder from a stranger can neither read elsewhere nor hang or flood the player.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The largest file of each kind the player reads.
constexpr long long ScriptFileLimit = 16LL << 20;
constexpr long long ImageFileLimit = 256LL << 20;
constexpr long long SceneFileLimit = 1LL << 30;
constexpr long long SoundtrackFileLimit = 512LL << 20;

enum class DataFileError { None, Missing, Outside, NotRegular, TooLarge, Unreadable };

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

class ShowArchive;

// An opened data file, or why it could not be opened.
struct DataFile {
    // The inflated entry a file of an archive reads from, kept as long as the file is open.
    std::shared_ptr<const std::vector<unsigned char>> memory;
    FileHandle file;    // binary reading from offset 0, blocking reads; null on failure
    std::string path;   // the path as found on disk (as mapped when not found)
    long long size = 0; // bytes, when opened
    DataFileError error = DataFileError::None;
    std::string problem; // for messages, such as "is a FIFO, not a regular file"; empty when opened

    explicit operator bool() const { return file != nullptr; }
};

// A show's folder: where its data files are found (in any letter case), and the boundary
// they must stay inside. The folder may be an archive (see show_archive.h), read in place
// and always confined to the show's folder in it. Plain data: copies look in the same
// place and share an archive's inflated entries.
class DataFolder {
public:
    // The current folder with no boundary: paths are opened as named.
    DataFolder() = default;

    // Makes the folder at path (the current folder when empty) this one, confining every
    // data file to it when confined is set; a path to an archive (IsArchivePath) makes the
    // show's folder in that archive this one. Returns false, leaving this folder as it was
    // and problem set, when path cannot be resolved to a real folder or read as an archive.
    bool open(const std::string& path, bool confined, std::string& problem);

    // The folder's real path (the archive's, for an archive); empty for the current folder.
    const std::string& root() const { return root_; }
    bool confined() const { return confined_; }
    // The archive the show is read from; null for a folder on disk.
    const ShowArchive* archive() const { return currentArchive().get(); }
    // Lists the archive again after it changed on disk, for this folder and every copy of
    // it, as a folder on disk shows its files as they are now; files already open keep
    // what they read. Returns false, problem set and the archive as it was, when it can no
    // longer be read; true at once for a folder on disk.
    bool reopen(std::string& problem) const;

    // showPath (such as "data\\Logo.png") as found on disk under the folder, relative to it
    // when showPath is; see resolveDataPath.
    std::string resolve(const std::string& showPath) const;
    // Where the file at a resolved path lies, for the system's calls.
    std::string placeOf(const std::string& resolved) const;

    // Opens path when it is a regular file of at most maxBytes inside the boundary.
    // Returns a DataFile without a file, error and problem set, otherwise; its path is the
    // resolved one, relative to the folder as the show names it. Never blocks on a FIFO or
    // device.
    DataFile openFile(const std::string& path, long long maxBytes) const;
    // Reads the whole data file at path into bytes. Returns false, bytes empty and problem
    // set, when it cannot be opened or read.
    bool readFile(const std::string& path, long long maxBytes, std::vector<unsigned char>& bytes,
                  std::string& problem) const;

private:
    bool inside(const std::string& real) const;

    DataFile openEntry(const std::string& path, long long maxBytes) const;
    std::shared_ptr<const ShowArchive> currentArchive() const;

    std::string root_;
    bool confined_ = false;
    // The archive, in one place shared by every copy, so that reopening reaches them all.
    std::shared_ptr<std::shared_ptr<const ShowArchive>> archive_;
};

// A byte count for messages: "512 MiB", "1.5 GiB", "300 bytes".
std::string DescribeBytes(long long bytes);
