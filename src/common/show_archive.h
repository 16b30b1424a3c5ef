// A show packed in an archive (.zip, .tar, .tar.gz, .tgz, .tar.xz), read in place: its
// entries are listed once from the headers, those that must never be read (links,
// devices, paths leading out, encrypted or oversized entries, archives inside it) are
// refused there, and an entry is inflated into memory at most once, when the show first
// reads it. Nothing is written to disk.
#pragma once

#include "common/data_file.h"

#include <memory>
#include <string>
#include <vector>

// The most entries an archive may hold, and the most its entries may inflate to together.
constexpr long long ArchiveEntryLimit = 65536;
constexpr long long ArchiveInflatedLimit = 2LL << 30;
// No entry may be larger than the largest file of any kind a show reads.
constexpr long long ArchiveEntrySizeLimit = SceneFileLimit;
// An entry inflating to more than this many times its compressed size is a zip bomb.
constexpr long long ArchiveRatioLimit = 1032;

// Whether path names an archive the player opens (by its ending, in any letter case).
bool IsArchivePath(const std::string& path);

// An entry refused or found damaged while the archive was listed, or a note on the
// archive as a whole (entry is then the archive's file name).
struct ArchiveNote {
    std::string entry;
    std::string problem;
};

class ShowArchive {
public:
    // Lists the archive at path and finds the show's folder in it: the top, or the
    // archive's single top folder, whichever holds script.txt. Returns null, problem
    // set, when the file cannot be read as an archive or holds more than
    // ArchiveEntryLimit entries.
    static std::shared_ptr<ShowArchive> Open(const std::string& path, std::string& problem);
    ~ShowArchive();
    ShowArchive(const ShowArchive&) = delete;
    ShowArchive& operator=(const ShowArchive&) = delete;

    // The archive's real path.
    const std::string& path() const;
    // The show's folder inside the archive: empty for the top, else "NAME/".
    const std::string& showFolder() const;
    // What listing refused or found damaged, in archive order: entries named relative to
    // the show's folder when inside it, as stored otherwise.
    const std::vector<ArchiveNote>& notes() const;

    // showPath ("data\\Logo.png") as found in the show's folder, in any letter case,
    // relative to it; the mapped path when there is no such entry.
    std::string resolve(const std::string& showPath) const;
    // The inflated bytes of the entry at resolved (relative to the show's folder), shared
    // with every later read of it. Returns null, error and problem set, when there is no
    // such entry, it was refused, it is larger than maxBytes, or it is damaged (cut
    // short, a bad checksum, inflating past the size its header declares).
    std::shared_ptr<const std::vector<unsigned char>> read(const std::string& resolved, long long maxBytes,
                                                           DataFileError& error, std::string& problem) const;

    struct Impl;

private:
    explicit ShowArchive(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
