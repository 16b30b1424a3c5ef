#include "common/archive_reader.h"

#include "common/show_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <zip.h>

#include <algorithm>
#include <map>
#include <new>
#include <strings.h>
#include <sys/stat.h>

namespace {

// Bytes libarchive reads from the file at a time.
constexpr size_t StreamBlockBytes = 64 << 10;
// A compressed tar may inflate this much past ArchiveRatioLimit times what was read: a
// tar pads small files to whole records, which compress to almost nothing.
constexpr long long StreamRatioSlack = 1 << 20;
// What a stream reader may keep of entries it passed on the way to another, all told.
constexpr long long PassedBytesLimit = 32LL << 20;

ArchiveEntryKind kindOfMode(unsigned mode)
{
    switch (mode & S_IFMT) {
    case S_IFDIR: return ArchiveEntryKind::Folder;
    case S_IFLNK: return ArchiveEntryKind::Link;
    case S_IFCHR:
    case S_IFBLK:
    case S_IFIFO:
    case S_IFSOCK: return ArchiveEntryKind::Device;
    case S_IFREG:
    case 0: return ArchiveEntryKind::Regular;
    default: return ArchiveEntryKind::Other;
    }
}

// The refusal of an archive holding count entries; count is -1 when listing stopped at the limit.
std::string tooManyEntries(long long count)
{
    const std::string limit = std::to_string(ArchiveEntryLimit);
    if (count < 0)
        return "holds more than the " + limit + " entries an archive may hold";
    return "holds " + std::to_string(count) + " entries, more than the " + limit + " an archive may hold";
}

// Sizes bytes for an entry's declared size. Returns false, problem set, when memory runs out.
bool makeRoom(std::vector<unsigned char>& bytes, long long size, std::string& problem)
{
    try {
        bytes.assign(static_cast<size_t>(size), 0);
        return true;
    } catch (const std::bad_alloc&) {
        bytes.clear();
        problem = "is " + DescribeBytes(size) + ", more than the memory left to inflate it";
        return false;
    }
}

// A zip read through its central directory: entries are reached directly.
class ZipReader : public ArchiveReader {
public:
    explicit ZipReader(zip_t* zip) : zip_(zip) {}
    ~ZipReader() override { zip_discard(zip_); }

    bool list(ArchiveListing& listing, std::string& problem) override
    {
        const zip_int64_t count = zip_get_num_entries(zip_, 0);
        if (count > ArchiveEntryLimit) {
            problem = tooManyEntries(count);
            return false;
        }
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_stat_index(zip_, static_cast<zip_uint64_t>(i), 0, &stat) != 0 || !stat.name) {
                listing.damage.push_back({"entry " + std::to_string(i + 1), zip_strerror(zip_)});
                continue;
            }
            ArchiveEntry entry;
            entry.name = stat.name;
            entry.ordinal = i;
            if (stat.valid & ZIP_STAT_SIZE)
                entry.size = static_cast<long long>(std::min<zip_uint64_t>(stat.size, 1ULL << 62));
            if (stat.valid & ZIP_STAT_COMP_SIZE)
                entry.packed = static_cast<long long>(std::min<zip_uint64_t>(stat.comp_size, 1ULL << 62));
            entry.encrypted = (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
            zip_uint8_t system = 0;
            zip_uint32_t attributes = 0;
            if (zip_file_get_external_attributes(zip_, static_cast<zip_uint64_t>(i), 0, &system, &attributes) == 0 &&
                system == ZIP_OPSYS_UNIX)
                entry.kind = kindOfMode(attributes >> 16);
            if (!entry.name.empty() && entry.name.back() == '/')
                entry.kind = ArchiveEntryKind::Folder;
            listing.entries.push_back(std::move(entry));
        }
        return true;
    }

    bool inflate(const ArchiveEntry& entry, std::vector<unsigned char>& bytes, std::string& problem) override
    {
        zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(entry.ordinal), 0);
        if (!file) {
            problem = std::string("cannot be inflated: ") + zip_strerror(zip_);
            return false;
        }
        bool good = makeRoom(bytes, entry.size, problem);
        long long got = 0;
        while (good && got < entry.size) {
            const zip_int64_t read = zip_fread(file, bytes.data() + got, static_cast<zip_uint64_t>(entry.size - got));
            if (read <= 0)
                break;
            got += read;
        }
        // One byte more must find the end, where the checksum is compared.
        unsigned char beyond = 0;
        const zip_int64_t extra = good ? zip_fread(file, &beyond, 1) : 0;
        if (good && (got < entry.size || extra < 0)) {
            problem = std::string("is damaged: ") + zip_file_strerror(file);
            good = false;
        } else if (good && extra > 0) {
            problem = "inflates past the " + DescribeBytes(entry.size) + " its header declares";
            good = false;
        }
        zip_fclose(file);
        if (!good)
            bytes.clear();
        return good;
    }

private:
    zip_t* zip_;
};

struct ArchiveFree {
    void operator()(archive* stream) const { archive_read_free(stream); }
};
using ArchiveHandle = std::unique_ptr<archive, ArchiveFree>;

// A tar (plain, gzip or xz), or a zip without its central directory, read front to back:
// reaching an entry means passing every one before it.
class StreamReader : public ArchiveReader {
public:
    StreamReader(std::string path, bool zip) : path_(std::move(path)), zip_(zip) {}

    // Opens the archive from its start. Returns null, problem set, when it cannot be read.
    ArchiveHandle start(std::string& problem)
    {
        ArchiveHandle stream(archive_read_new());
        if (zip_) {
            archive_read_support_format_zip_streamable(stream.get());
        } else {
            archive_read_support_format_tar(stream.get());
            archive_read_support_format_gnutar(stream.get());
            archive_read_support_filter_gzip(stream.get());
            archive_read_support_filter_xz(stream.get());
        }
        if (archive_read_open_filename(stream.get(), path_.c_str(), StreamBlockBytes) != ARCHIVE_OK) {
            problem = errorOf(stream.get());
            return nullptr;
        }
        struct stat info;
        if (stat(path_.c_str(), &info) == 0)
            fileBytes_ = info.st_size;
        return stream;
    }

    bool list(ArchiveListing& listing, std::string& problem) override
    {
        ArchiveHandle stream = start(problem);
        if (!stream)
            return false;
        for (long long ordinal = 0;; ++ordinal) {
            archive_entry* header = nullptr;
            const int status = archive_read_next_header(stream.get(), &header);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN) {
                if (ordinal == 0) {
                    problem = errorOf(stream.get());
                    return false;
                }
                listing.damage.push_back({lastName(listing), "the archive is damaged after it: " +
                                                                 errorOf(stream.get())});
                break;
            }
            if (ordinal >= ArchiveEntryLimit) {
                problem = tooManyEntries(-1);
                return false;
            }
            listing.entries.push_back(describe(header, ordinal));
            if (!passOver(stream.get(), listing))
                break;
        }
        return true;
    }

    bool inflate(const ArchiveEntry& entry, std::vector<unsigned char>& bytes, std::string& problem) override
    {
        auto kept = passed_.find(entry.ordinal);
        if (kept != passed_.end()) {
            bytes = std::move(kept->second);
            passed_.erase(kept);
            return true;
        }
        archive_entry* header = reach(entry, problem);
        if (!header)
            return false;
        const char* name = archive_entry_pathname(header);
        if (!name || entry.name != name) {
            problem = "cannot be reached: the archive changed since it was opened";
            return false;
        }
        if (!makeRoom(bytes, entry.size, problem))
            return false;
        archive* stream = cursor_.get();
        long long got = 0;
        la_ssize_t read = 0;
        while (got < entry.size &&
               (read = archive_read_data(stream, bytes.data() + got, static_cast<size_t>(entry.size - got))) > 0)
            got += read;
        unsigned char beyond = 0;
        if (read >= 0 && got == entry.size)
            read = archive_read_data(stream, &beyond, 1);
        if (read < 0 || got < entry.size) {
            problem = "is damaged: " + (read < 0 ? errorOf(stream) : std::string("cut short"));
        } else if (read > 0) {
            problem = "inflates past the " + DescribeBytes(entry.size) + " its header declares";
        } else {
            return true;
        }
        bytes.clear();
        cursor_.reset();
        return false;
    }

private:
    // The header of entry, the stream left at its data: read on from where the last entry
    // was when entry lies further on, so that reading in archive order passes the archive
    // once. Returns null, problem set, when it cannot be reached.
    archive_entry* reach(const ArchiveEntry& entry, std::string& problem)
    {
        if (!cursor_ || at_ >= entry.ordinal) {
            cursor_ = start(problem);
            at_ = -1;
            if (!cursor_)
                return nullptr;
        }
        archive_entry* header = nullptr;
        while (at_ < entry.ordinal) {
            if (at_ >= 0)
                keepPassed(header);
            if (archive_read_next_header(cursor_.get(), &header) < ARCHIVE_WARN) {
                problem = "cannot be reached: " + errorOf(cursor_.get());
                cursor_.reset();
                return nullptr;
            }
            ++at_;
        }
        return header;
    }

    // Keeps the data of the entry the cursor passes on its way, while what is kept stays
    // within PassedBytesLimit, so that a show read out of archive order is not inflated
    // from the start for every file.
    void keepPassed(archive_entry* header)
    {
        if (!header || archive_entry_filetype(header) != AE_IFREG || !archive_entry_size_is_set(header) ||
            passed_.count(at_))
            return;
        const long long size = archive_entry_size(header);
        if (size < 0 || passedBytes_ + size > PassedBytesLimit)
            return;
        std::vector<unsigned char> bytes(static_cast<size_t>(size));
        long long got = 0;
        la_ssize_t read = 0;
        while (got < size &&
               (read = archive_read_data(cursor_.get(), bytes.data() + got, static_cast<size_t>(size - got))) > 0)
            got += read;
        if (got == size) {
            passedBytes_ += size;
            passed_.emplace(at_, std::move(bytes));
        }
    }

    static std::string errorOf(archive* stream)
    {
        const char* text = archive_error_string(stream);
        return text ? text : "unreadable";
    }

    static std::string lastName(const ArchiveListing& listing)
    {
        return listing.entries.empty() ? std::string() : listing.entries.back().name;
    }

    static ArchiveEntry describe(archive_entry* header, long long ordinal)
    {
        ArchiveEntry entry;
        const char* name = archive_entry_pathname(header);
        entry.name = name ? name : "";
        entry.ordinal = ordinal;
        if (archive_entry_size_is_set(header))
            entry.size = archive_entry_size(header);
        entry.encrypted = archive_entry_is_encrypted(header) != 0;
        entry.kind = kindOfMode(archive_entry_filetype(header));
        if (archive_entry_hardlink(header) || archive_entry_symlink(header))
            entry.kind = ArchiveEntryKind::Link;
        return entry;
    }

    // Moves past the data of the entry just listed. Returns false, after noting why, where
    // listing must stop: passing it would inflate more than any show reads, the stream
    // inflates like a bomb, or its data is cut short.
    bool passOver(archive* stream, ArchiveListing& listing) const
    {
        const ArchiveEntry& entry = listing.entries.back();
        auto stop = [&](const std::string& why) {
            listing.damage.push_back({entry.name, "the entries after it are not read: " + why});
            return false;
        };
        const bool inflating = zip_ || archive_filter_count(stream) > 1;
        const bool regular = entry.kind == ArchiveEntryKind::Regular;
        if (inflating && regular && entry.size < 0)
            return stop("passing it would inflate an undeclared size");
        if (inflating && regular && entry.size > ArchiveEntrySizeLimit)
            return stop("passing it would inflate " + DescribeBytes(entry.size));
        // The whole file cannot honestly inflate past the ratio, whatever its entries declare.
        const std::string ratio = std::to_string(ArchiveRatioLimit) + " times its size";
        const long long limit = ArchiveRatioLimit * fileBytes_ + StreamRatioSlack;
        if (inflating && archive_filter_bytes(stream, 0) + std::max(entry.size, 0LL) > limit)
            return stop("passing it would inflate the archive past " + ratio);
        if (archive_read_data_skip(stream) != ARCHIVE_OK) {
            listing.damage.push_back({entry.name, "is damaged: " + errorOf(stream), true});
            return false;
        }
        const long long inflated = archive_filter_bytes(stream, 0);
        const long long read = archive_filter_bytes(stream, -1);
        if (inflated > ArchiveRatioLimit * read + StreamRatioSlack)
            return stop("the archive inflates to more than " + ratio);
        if (inflated > ArchiveInflatedLimit + StreamRatioSlack)
            return stop("the archive inflates past " + DescribeBytes(ArchiveInflatedLimit));
        return true;
    }

    std::string path_;
    bool zip_;
    long long fileBytes_ = 0; // the archive file's size when last started
    ArchiveHandle cursor_; // where the last entry was read
    long long at_ = -1;    // the ordinal of the header cursor_ last read
    std::map<long long, std::vector<unsigned char>> passed_; // entries passed and kept, by ordinal
    long long passedBytes_ = 0;                               // all ever kept, handed on or not
};

bool endsWith(const std::string& text, const char* ending)
{
    const size_t length = std::char_traits<char>::length(ending);
    return text.size() >= length && strcasecmp(text.c_str() + text.size() - length, ending) == 0;
}

} // namespace

std::unique_ptr<ArchiveReader> OpenArchiveReader(const std::string& path, std::string& problem)
{
    if (!endsWith(path, ".zip")) {
        auto reader = std::make_unique<StreamReader>(path, false);
        if (!reader->start(problem))
            return nullptr;
        return reader;
    }
    int error = 0;
    if (zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error))
        return std::make_unique<ZipReader>(zip);
    zip_error_t why;
    zip_error_init_with_code(&why, error);
    problem = zip_error_strerror(&why);
    zip_error_fini(&why);
    // Without its central directory (a zip cut short) the entries are still found one by
    // one from the front.
    if (error == ZIP_ER_NOZIP || error == ZIP_ER_INCONS) {
        auto reader = std::make_unique<StreamReader>(path, true);
        std::string streamProblem;
        if (reader->start(streamProblem))
            return reader;
    }
    return nullptr;
}
