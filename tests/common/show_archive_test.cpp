// A show's folder read from an archive: where the show is found in it, letter case, the
// entries refused from their headers, damage found while inflating, and one inflation
// per entry.
#include "common/data_file.h"
#include "common/show_archive.h"
#include "support/zip_bytes.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ShowArchiveTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/taldrex-archive-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir_ + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return path;
    }

    // Opens the zip of entries as a show's folder; the problem when it cannot be.
    std::string openZip(const std::vector<ZipBytesEntry>& entries, DataFolder& folder)
    {
        std::string problem;
        folder.open(write("show.zip", ZipBytes(entries)), true, problem);
        return problem;
    }

    // The whole of the file at path in folder, or "error N: problem".
    static std::string contents(const DataFolder& folder, const std::string& path)
    {
        DataFile file = folder.openFile(path, ImageFileLimit);
        if (!file)
            return "error " + std::to_string(int(file.error)) + ": " + file.problem;
        std::string bytes(static_cast<size_t>(file.size), '\0');
        const size_t read = std::fread(&bytes[0], 1, bytes.size(), file.file.get());
        return read == bytes.size() && std::fgetc(file.file.get()) == EOF ? bytes : "short read";
    }

    static std::string notes(const DataFolder& folder)
    {
        std::string text;
        for (const ArchiveNote& note : folder.archive()->notes())
            text += note.entry + ": " + note.problem + "\n";
        return text;
    }

    std::string dir_;
};

std::string errorOf(DataFileError error) { return "error " + std::to_string(int(error)) + ": "; }

// A ustar header for a regular file of size bytes.
std::string tarHeader(const std::string& name, unsigned long long size)
{
    std::string header(512, '\0');
    header.replace(0, name.size(), name);
    header.replace(100, 7, "0000644");
    char octal[13];
    std::snprintf(octal, sizeof octal, "%012llo", size);
    header.replace(124, 12, octal);
    header.replace(136, 11, "00000000000");
    header[156] = '0';
    header.replace(257, 8, std::string("ustar\0" "00", 8));
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : header)
        sum += c;
    std::snprintf(octal, sizeof octal, "%06o", sum);
    header.replace(148, 7, std::string(octal, 6) + '\0');
    return header;
}

std::string gzipped(const std::string& bytes)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

TEST(ShowArchivePath, KnownEndingsInAnyLetterCase)
{
    for (const char* path : {"a.zip", "A.ZIP", "show.tar", "show.tar.gz", "show.TGZ", "show.tar.xz"})
        EXPECT_TRUE(IsArchivePath(path)) << path;
    for (const char* path : {"", ".zip", "show", "show.gz", "show.xz", "show.zip/", "zip"})
        EXPECT_FALSE(IsArchivePath(path)) << path;
}

// The show is the top when it holds script.txt, else the archive's single top folder;
// names are found in any letter case, an exact match first.
TEST_F(ShowArchiveTest, FindsTheShowAndItsFilesInAnyLetterCase)
{
    struct Case {
        std::vector<std::string> names; // each entry holds its own name
        std::string request;
        std::string resolved;
        std::string contents;
    };
    const Case cases[] = {
        {{"script.txt", "data/Logo.PNG"}, "data\\logo.png", "data/Logo.PNG", "data/Logo.PNG"},
        {{"Show/", "Show/script.txt", "Show/DATA/logo.png"}, "data\\Logo.png", "DATA/logo.png", "Show/DATA/logo.png"},
        {{"show/SCRIPT.TXT"}, "script.txt", "SCRIPT.TXT", "show/SCRIPT.TXT"},
        {{"./script.txt", "data/a.png", "data/A.png"}, "data\\A.png", "data/A.png", "data/A.png"},
        {{"script.txt", "data/a.png", "data/A.png"}, "DATA\\a.PNG", "data/a.png", "data/a.png"},
        {{"a/script.txt", "b/x"}, "script.txt", "script.txt", errorOf(DataFileError::Missing) + "does not exist"},
        {{"script.txt"}, "data\\..\\..\\script.txt", "data/../../script.txt",
         errorOf(DataFileError::Outside) + "outside the demo folder"},
        {{"script.txt", "data/"}, "data", "data", errorOf(DataFileError::NotRegular) + "is a folder, not a regular file"},
    };
    for (const Case& c : cases) {
        std::vector<ZipBytesEntry> entries;
        for (const std::string& name : c.names)
            entries.push_back(StoredZipEntry(name, name.back() == '/' ? "" : name));
        DataFolder folder;
        ASSERT_EQ(openZip(entries, folder), "") << c.names[0];
        EXPECT_EQ(folder.resolve(c.request), c.resolved) << c.request;
        EXPECT_EQ(contents(folder, c.request), c.contents) << c.request;
        EXPECT_EQ(notes(folder), "") << c.request;
    }
}

// What must never be read is refused from the headers, named among the archive's notes,
// and gives its refusal when the show asks for it.
TEST_F(ShowArchiveTest, RefusesHostileEntriesFromTheirHeaders)
{
    ZipBytesEntry link = StoredZipEntry("data/link.png", "/etc/passwd");
    link.unixMode = S_IFLNK | 0777;
    ZipBytesEntry device = StoredZipEntry("data/tty.png", "");
    device.unixMode = S_IFCHR | 0666;
    ZipBytesEntry secret = StoredZipEntry("data/secret.png", "scrambled");
    secret.encrypted = true;
    ZipBytesEntry huge;
    huge.name = "data/zeros.png";
    huge.size = 10ULL << 30;
    huge.deflated = true;
    huge.data = ZipDeflateChunk(std::string(1 << 20, '\0')) + ZipDeflateEnd();
    ZipBytesEntry bomb = huge;
    bomb.name = "data/bomb.png";
    bomb.size = 200ULL << 20;
    // A gibibyte each, declared honestly: the second takes the archive past 2 GiB.
    ZipBytesEntry first = huge;
    first.name = "data/first.scn";
    first.size = 1ULL << 30;
    first.data = std::string((1 << 20) + 4096, 'x');
    ZipBytesEntry second = first;
    second.name = "data/second.scn";
    struct Case {
        ZipBytesEntry entry; // after script.txt and extra
        std::string request; // empty when the show cannot even name it
        std::string note;
        DataFileError error;
        std::vector<ZipBytesEntry> extra;
    };
    const Case cases[] = {
        {StoredZipEntry("C:\\evil.png", "x"), "", "has an absolute path", DataFileError::None, {}},
        {link, "data\\link.png", "is a link", DataFileError::NotRegular, {}},
        {device, "data\\tty.png", "is a device", DataFileError::NotRegular, {}},
        {secret, "data\\secret.png", "is encrypted", DataFileError::Unreadable, {}},
        {StoredZipEntry("data/inner.ZIP", "PK"), "data\\inner.zip", "archive inside the archive",
         DataFileError::Unreadable, {}},
        {huge, "data\\zeros.png", "is 10 GiB, more than the 1 GiB", DataFileError::TooLarge, {}},
        {bomb, "data\\bomb.png", "more than 1032 times its compressed size", DataFileError::TooLarge, {}},
        {second, "data\\second.scn", "past the 2 GiB its entries may inflate to together", DataFileError::TooLarge,
         {first}},
        {StoredZipEntry("script.txt", "again"), "", "appears more than once", DataFileError::None, {}},
    };
    for (const Case& c : cases) {
        DataFolder folder;
        std::vector<ZipBytesEntry> entries{StoredZipEntry("script.txt", "[mp3]\n")};
        entries.insert(entries.end(), c.extra.begin(), c.extra.end());
        entries.push_back(c.entry);
        ASSERT_EQ(openZip(entries, folder), "") << c.entry.name;
        const std::string listed = notes(folder);
        EXPECT_EQ(listed.rfind(c.entry.name + ": ", 0), 0u) << listed;
        EXPECT_NE(listed.find(c.note), std::string::npos) << listed;
        if (!c.request.empty()) {
            const DataFile file = folder.openFile(c.request, SceneFileLimit);
            EXPECT_FALSE(file);
            EXPECT_EQ(file.error, c.error) << c.entry.name;
            EXPECT_NE(file.problem.find(c.note), std::string::npos) << file.problem;
        }
        EXPECT_EQ(contents(folder, "script.txt"), "[mp3]\n");
    }
}

// An entry whose data inflates past its declared size is cut off there and refused; a
// bad checksum is damage; either is remembered, not inflated again.
TEST_F(ShowArchiveTest, RefusesEntriesWhoseDataBetraysTheirHeader)
{
    ZipBytesEntry liar;
    liar.name = "data/liar.png";
    liar.deflated = true;
    liar.data = ZipDeflateChunk(std::string(64 << 20, '\0')) + ZipDeflateEnd();
    liar.size = 1000;
    ZipBytesEntry damaged = StoredZipEntry("data/bad.png", "picture");
    damaged.crc ^= 1;
    DataFolder folder;
    ASSERT_EQ(openZip({StoredZipEntry("script.txt", "[mp3]\n"), liar, damaged}, folder), "");
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(contents(folder, "data\\liar.png"),
                  errorOf(DataFileError::Unreadable) + "inflates past the 1000 bytes its header declares");
        EXPECT_NE(contents(folder, "data\\bad.png").find("is damaged"), std::string::npos);
    }
}

// Copies of a folder share one inflation of each entry; reopening the archive after it
// changed shows every copy the new entries, while a file already open reads on what it had.
TEST_F(ShowArchiveTest, InflatesAnEntryOnceAndReopensForEveryCopy)
{
    auto folder = std::make_unique<DataFolder>();
    ASSERT_EQ(openZip({StoredZipEntry("script.txt", "[mp3]\n")}, *folder), "");
    const DataFolder copy = *folder;
    const DataFile first = folder->openFile("script.txt", ScriptFileLimit);
    const DataFile second = copy.openFile("SCRIPT.TXT", ScriptFileLimit);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first.memory.get(), second.memory.get());

    write("show.zip", ZipBytes({StoredZipEntry("script.txt", "[textures]\n")}));
    std::string problem;
    ASSERT_TRUE(folder->reopen(problem)) << problem;
    folder.reset();
    EXPECT_EQ(contents(copy, "script.txt"), "[textures]\n");
    char text[7] = {};
    EXPECT_EQ(std::fread(text, 1, 6, first.file.get()), 6u);
    EXPECT_STREQ(text, "[mp3]\n");

    write("show.zip", "no longer a zip");
    EXPECT_FALSE(copy.reopen(problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_EQ(contents(copy, "script.txt"), "[textures]\n");
}

// A zip cut short has lost its central directory: the entries before the cut are still
// found, the one cut is named, and the show plays without it.
TEST_F(ShowArchiveTest, AZipCutShortKeepsTheEntriesBeforeTheCut)
{
    const std::string whole = ZipBytes({StoredZipEntry("script.txt", "[mp3]\n"),
        StoredZipEntry("data/a.png", std::string(4000, 'a')), StoredZipEntry("data/b.png", std::string(4000, 'b'))});
    std::string problem;
    DataFolder folder;
    ASSERT_TRUE(folder.open(write("cut.zip", whole.substr(0, whole.find("data/b.png") + 1000)), true, problem))
        << problem;
    EXPECT_EQ(contents(folder, "script.txt"), "[mp3]\n");
    EXPECT_EQ(contents(folder, "data\\a.png"), std::string(4000, 'a'));
    const DataFile cut = folder.openFile("data\\b.png", ImageFileLimit);
    EXPECT_FALSE(cut);
    EXPECT_NE(notes(folder).find("data/b.png: " + cut.problem + "\n"), std::string::npos) << notes(folder);
}

TEST_F(ShowArchiveTest, RefusesAnArchiveOfTooManyEntriesOrNoneAtAll)
{
    std::vector<ZipBytesEntry> entries;
    for (int i = 0; i < 100000; ++i)
        entries.push_back(StoredZipEntry("data/" + std::to_string(i), "x"));
    for (const auto& archive : {std::pair<std::string, std::string>("many.zip", ZipBytes(entries)),
                                {"text.zip", "not an archive"}, {"text.tar.gz", "not gzip"}}) {
        DataFolder folder;
        std::string problem;
        EXPECT_FALSE(folder.open(write(archive.first, archive.second), true, problem)) << archive.first;
        EXPECT_FALSE(problem.empty());
        if (archive.first == "many.zip") {
            EXPECT_EQ(problem, "holds 100000 entries, more than the 65536 an archive may hold");
        }
    }
}

// A tar is read front to back, with its links, devices and leading-out names refused as
// in a zip, and its show in a single top folder.
TEST_F(ShowArchiveTest, ReadsATarWithItsShowInOneFolder)
{
    const std::string path = dir_ + "/show.tar.gz";
    archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    archive_write_add_filter_gzip(writer);
    ASSERT_EQ(archive_write_open_filename(writer, path.c_str()), ARCHIVE_OK);
    struct Item {
        const char* name;
        unsigned mode;
        std::string data;
    };
    for (const Item& item : {Item{"Show/script.txt", AE_IFREG, "[mp3]\n"}, Item{"Show/data/Pic.png", AE_IFREG, "pic"},
                             Item{"Show/data/link.png", AE_IFLNK, ""}, Item{"Show/../up.png", AE_IFREG, "up"},
                             Item{"Show/data/fifo.png", AE_IFIFO, ""}}) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.name);
        archive_entry_set_filetype(entry, item.mode);
        archive_entry_set_perm(entry, 0644);
        if (item.mode == AE_IFLNK)
            archive_entry_set_symlink(entry, "/etc/passwd");
        archive_entry_set_size(entry, static_cast<la_int64_t>(item.data.size()));
        archive_write_header(writer, entry);
        archive_write_data(writer, item.data.data(), item.data.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);

    DataFolder folder;
    std::string problem;
    ASSERT_TRUE(folder.open(path, false, problem)) << problem;
    EXPECT_TRUE(folder.confined());
    EXPECT_EQ(contents(folder, "script.txt"), "[mp3]\n");
    EXPECT_EQ(contents(folder, "data\\pic.png"), "pic");
    EXPECT_EQ(contents(folder, "data\\link.png").rfind(errorOf(DataFileError::NotRegular), 0), 0u);
    EXPECT_EQ(notes(folder), "data/link.png: is a link; links in an archive are never read\n"
                             "../up.png: leads out of the archive's folder through ..; it is never read\n"
                             "data/fifo.png: is a device, FIFO or socket; it is never read\n");
}

// A compressed tar is listed front to back: listing stops before an entry it could pass
// only by inflating more than any show reads, or more than the file could honestly hold;
// what came before plays.
TEST_F(ShowArchiveTest, ListingACompressedTarStopsBeforeABomb)
{
    const std::string script = "[mp3]\n";
    const std::string before = tarHeader("script.txt", script.size()) + script + std::string(512 - script.size(), '\0');
    struct Case {
        unsigned long long size;
        std::string note;
    };
    for (const Case& c : {Case{10ULL << 30, "data/zeros.png: the entries after it are not read: passing it would inflate 10 GiB"},
                          Case{900ULL << 20, "data/zeros.png: the entries after it are not read: passing it would inflate "
                                             "the archive past 1032 times its size"}}) {
        // Only the start of the zeros: listing must not look for the rest.
        const std::string tar = before + tarHeader("data/zeros.png", c.size) + std::string(1 << 16, '\0');
        DataFolder folder;
        std::string problem;
        ASSERT_TRUE(folder.open(write("bomb.tar.gz", gzipped(tar)), true, problem)) << problem;
        EXPECT_NE(notes(folder).find(c.note + "\n"), std::string::npos) << notes(folder);
        EXPECT_EQ(contents(folder, "script.txt"), script);
    }
}

} // namespace
