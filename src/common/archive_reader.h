// The archive formats a show may come in, behind one interface: a zip through its central
// directory (libzip), a tar, compressed or not, and a zip whose central directory is lost,
// read front to back (libarchive). Readers list and inflate; what may be read is decided
// by the show's archive (show_archive.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

enum class ArchiveEntryKind { Regular, Folder, Link, Device, Other };

// An entry as its headers describe it.
struct ArchiveEntry {
    std::string name;      // as stored
    long long size = -1;   // inflated size the header declares; -1 when it declares none
    long long packed = -1; // compressed size; -1 when the format does not tell it
    long long ordinal = 0; // position in the archive
    ArchiveEntryKind kind = ArchiveEntryKind::Regular;
    bool encrypted = false;
};

// What listing found: the entries, in archive order, and where listing had to stop or
// found damage (entry names the entry, or is empty for the archive as a whole).
struct ArchiveListing {
    struct Damage {
        std::string entry;
        std::string problem;
        bool lost = false; // the entry's own data is damaged: it cannot be read
    };
    std::vector<ArchiveEntry> entries;
    std::vector<Damage> damage;
};

class ArchiveReader {
public:
    virtual ~ArchiveReader() = default;
    // Reads every header into listing, inflating nothing. Returns false, problem set, when
    // the archive holds more than ArchiveEntryLimit entries or cannot be listed at all.
    virtual bool list(ArchiveListing& listing, std::string& problem) = 0;
    // Inflates entry (one of list's, with a declared size) into bytes, never past its
    // declared size. Returns false, problem set and bytes empty, when its data is damaged,
    // cut short, or inflates to another size than declared.
    virtual bool inflate(const ArchiveEntry& entry, std::vector<unsigned char>& bytes, std::string& problem) = 0;
};

// A reader for the archive at path, chosen by its ending. Returns null, problem set, when
// the file cannot be opened as an archive of that kind.
std::unique_ptr<ArchiveReader> OpenArchiveReader(const std::string& path, std::string& problem);
