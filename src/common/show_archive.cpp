#include "common/show_archive.h"

#include "common/archive_reader.h"

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <strings.h>
#include <unordered_map>

namespace {

std::string folded(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The entry's name with '\' read as '/' (as a zip made on Windows may hold them) and
// any leading "./" dropped.
std::string normalName(const std::string& stored)
{
    std::string name = stored;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    while (name.compare(0, 2, "./") == 0)
        name.erase(0, 2);
    return name;
}

bool isAbsolute(const std::string& name)
{
    const bool drive = name.size() >= 2 && name[1] == ':' &&
                       ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    return (!name.empty() && name[0] == '/') || drive;
}

bool hasParentStep(const std::string& name)
{
    size_t start = 0;
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        if (slash == std::string::npos)
            slash = name.size();
        if (name.compare(start, slash - start, "..") == 0 && slash - start == 2)
            return true;
        start = slash + 1;
    }
    return false;
}

// Why the entry must never be read, with the error reading it gives; empty when it may be.
std::string refusalOf(const ArchiveEntry& entry, const std::string& name, long long total, DataFileError& error)
{
    error = DataFileError::NotRegular;
    if (name.empty())
        return "has no name; it is never read";
    if (isAbsolute(name))
        return "has an absolute path; it is never read";
    if (hasParentStep(name))
        return "leads out of the archive's folder through ..; it is never read";
    if (entry.kind == ArchiveEntryKind::Link)
        return "is a link; links in an archive are never read";
    if (entry.kind == ArchiveEntryKind::Device)
        return "is a device, FIFO or socket; it is never read";
    if (entry.kind == ArchiveEntryKind::Other)
        return "is not a regular file; it is never read";
    if (entry.kind == ArchiveEntryKind::Folder)
        return "is a folder, not a regular file";
    error = DataFileError::Unreadable;
    if (entry.encrypted)
        return "is encrypted; encrypted entries are not read";
    if (IsArchivePath(name))
        return "is an archive inside the archive; it is not opened";
    if (entry.size < 0)
        return "does not declare its size; it is not read";
    error = DataFileError::TooLarge;
    if (entry.size > ArchiveEntrySizeLimit)
        return "is " + DescribeBytes(entry.size) + ", more than the " + DescribeBytes(ArchiveEntrySizeLimit) +
               " any file of a show may be; it is not read";
    if (entry.packed >= 0 && entry.size > ArchiveRatioLimit * entry.packed)
        return "would inflate from " + DescribeBytes(entry.packed) + " to " + DescribeBytes(entry.size) +
               ", more than " + std::to_string(ArchiveRatioLimit) + " times its compressed size; it is not read";
    if (total + entry.size > ArchiveInflatedLimit)
        return "would take the archive past the " + DescribeBytes(ArchiveInflatedLimit) +
               " its entries may inflate to together; it is not read";
    error = DataFileError::None;
    return std::string();
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

} // namespace

struct ShowArchive::Impl {
    std::string path;
    std::string showFolder;
    std::vector<ArchiveNote> notes;
    std::vector<ArchiveEntry> entries;
    std::vector<std::string> names; // normalised, beside entries
    std::vector<std::string> refusals;
    std::vector<DataFileError> refusalErrors;
    std::unordered_map<std::string, size_t> exact;
    std::unordered_map<std::string, size_t> anyCase;

    std::mutex mutex; // guards the reader and what it inflated
    std::unique_ptr<ArchiveReader> reader;
    std::map<size_t, std::shared_ptr<const std::vector<unsigned char>>> inflated;
    std::map<size_t, std::string> failed;

    void admit(ArchiveEntry entry, long long& total)
    {
        const std::string name = normalName(entry.name);
        DataFileError error = DataFileError::None;
        std::string refusal = refusalOf(entry, name, total, error);
        const bool leadsOut = name.empty() || isAbsolute(name) || hasParentStep(name);
        if (!refusal.empty() && (leadsOut || entry.kind != ArchiveEntryKind::Folder))
            notes.push_back({entry.name, refusal});
        if (leadsOut)
            return;
        const std::string key = name.back() == '/' ? name.substr(0, name.size() - 1) : name;
        if (exact.count(key)) {
            if (entry.kind != ArchiveEntryKind::Folder)
                notes.push_back({entry.name, "appears more than once in the archive; only the first is read"});
            return;
        }
        if (refusal.empty())
            total += entry.size;
        exact.emplace(key, entries.size());
        anyCase.emplace(folded(key), entries.size());
        entries.push_back(std::move(entry));
        names.push_back(key);
        refusals.push_back(std::move(refusal));
        refusalErrors.push_back(error);
    }

    // The top, when it holds script.txt, or else the single folder everything is in.
    void findShowFolder()
    {
        if (anyCase.count("script.txt"))
            return;
        std::set<std::string> tops;
        for (const std::string& name : names)
            tops.insert(name.substr(0, name.find('/')));
        if (tops.size() == 1 && anyCase.count(folded(*tops.begin() + "/script.txt")))
            showFolder = *tops.begin() + "/";
    }

    // The index of the entry at full (any letter case, an exact match first); -1 when none.
    long long find(const std::string& full) const
    {
        auto found = exact.find(full);
        if (found != exact.end())
            return static_cast<long long>(found->second);
        found = anyCase.find(folded(full));
        return found == anyCase.end() ? -1 : static_cast<long long>(found->second);
    }
};

bool IsArchivePath(const std::string& path)
{
    for (const char* ending : {".zip", ".tar", ".tar.gz", ".tgz", ".tar.xz"}) {
        const size_t length = std::char_traits<char>::length(ending);
        if (path.size() > length && strcasecmp(path.c_str() + path.size() - length, ending) == 0)
            return true;
    }
    return false;
}

std::shared_ptr<ShowArchive> ShowArchive::Open(const std::string& path, std::string& problem)
{
    auto impl = std::make_unique<Impl>();
    char* real = realpath(path.c_str(), nullptr);
    impl->path = real ? real : path;
    std::free(real);
    impl->reader = OpenArchiveReader(impl->path, problem);
    if (!impl->reader)
        return nullptr;
    ArchiveListing listing;
    if (!impl->reader->list(listing, problem))
        return nullptr;
    long long total = 0;
    for (ArchiveEntry& entry : listing.entries)
        impl->admit(std::move(entry), total);
    for (ArchiveListing::Damage& damage : listing.damage) {
        impl->notes.push_back({damage.entry.empty() ? baseName(impl->path) : damage.entry, damage.problem});
        // An entry whose data is lost is refused as it was found, not inflated to find it again.
        auto found = impl->exact.find(normalName(damage.entry));
        if (damage.lost && found != impl->exact.end() && impl->refusals[found->second].empty()) {
            impl->refusals[found->second] = damage.problem;
            impl->refusalErrors[found->second] = DataFileError::Unreadable;
        }
    }
    impl->findShowFolder();
    // Files are named as the show names them, relative to its folder.
    const std::string& top = impl->showFolder;
    for (ArchiveNote& note : impl->notes)
        if (!top.empty() && note.entry.size() > top.size() && note.entry.compare(0, top.size(), top) == 0)
            note.entry.erase(0, top.size());
    problem.clear();
    return std::shared_ptr<ShowArchive>(new ShowArchive(std::move(impl)));
}

ShowArchive::ShowArchive(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ShowArchive::~ShowArchive() = default;

const std::string& ShowArchive::path() const { return impl_->path; }
const std::string& ShowArchive::showFolder() const { return impl_->showFolder; }
const std::vector<ArchiveNote>& ShowArchive::notes() const { return impl_->notes; }

std::string ShowArchive::resolve(const std::string& showPath) const
{
    std::string mapped = showPath;
    for (char& c : mapped)
        if (c == '\\')
            c = '/';
    if (isAbsolute(mapped) || hasParentStep(mapped))
        return mapped;
    std::string relative;
    size_t start = 0;
    while (start <= mapped.size()) {
        size_t slash = mapped.find('/', start);
        if (slash == std::string::npos)
            slash = mapped.size();
        const std::string component = mapped.substr(start, slash - start);
        if (!component.empty() && component != ".")
            relative += (relative.empty() ? "" : "/") + component;
        start = slash + 1;
    }
    const long long index = impl_->find(impl_->showFolder + relative);
    if (index < 0)
        return relative;
    const std::string& name = impl_->names[static_cast<size_t>(index)];
    const std::string& top = impl_->showFolder;
    return folded(name.substr(0, top.size())) == folded(top) ? name.substr(top.size()) : relative;
}

std::shared_ptr<const std::vector<unsigned char>> ShowArchive::read(const std::string& resolved, long long maxBytes,
                                                                   DataFileError& error, std::string& problem) const
{
    if (isAbsolute(resolved) || hasParentStep(resolved)) {
        error = DataFileError::Outside;
        problem = "outside the demo folder";
        return nullptr;
    }
    const long long found = impl_->find(impl_->showFolder + resolved);
    if (found < 0) {
        error = DataFileError::Missing;
        problem = "does not exist";
        return nullptr;
    }
    const size_t index = static_cast<size_t>(found);
    const ArchiveEntry& entry = impl_->entries[index];
    if (!impl_->refusals[index].empty()) {
        error = impl_->refusalErrors[index];
        problem = impl_->refusals[index];
        return nullptr;
    }
    if (entry.size > maxBytes) {
        error = DataFileError::TooLarge;
        problem = "is " + DescribeBytes(entry.size) + ", more than the " + DescribeBytes(maxBytes) +
                  " a file of its kind may be";
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    auto done = impl_->inflated.find(index);
    if (done != impl_->inflated.end())
        return done->second;
    auto failed = impl_->failed.find(index);
    if (failed == impl_->failed.end()) {
        auto bytes = std::make_shared<std::vector<unsigned char>>();
        std::string why;
        if (impl_->reader->inflate(entry, *bytes, why))
            return impl_->inflated.emplace(index, std::move(bytes)).first->second;
        failed = impl_->failed.emplace(index, why).first;
    }
    error = DataFileError::Unreadable;
    problem = failed->second;
    return nullptr;
}
