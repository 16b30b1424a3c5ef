// The real player on shows packed in archives: the bundled show zipped and tarred checks
// clean and captures the frames of its folder; hostile archives are refused or skipped
// under a 512 MiB address-space limit, named by --check, with nothing written to disk.
#include "support/missing.h"
#include "support/sanitizer_hooks.h"
#include "support/zip_bytes.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct PlayerRun {
    int status = -1;
    std::string output;
};

// Runs the player with arguments from the folder where, capturing both streams; when
// limited, under a 512 MiB address-space limit (none under AddressSanitizer, which
// reserves terabytes of it).
PlayerRun runPlayer(const std::string& where, const std::string& arguments, bool limited)
{
#ifdef TALDREX_ADDRESS_SANITIZER
    limited = false;
#endif
    const std::string limit = limited ? "ulimit -v 524288 && " : "";
    const std::string command = "cd '" + where + "' && " + limit + "exec '" + TALDREX_PLAYER + "' " + arguments + " 2>&1";
    PlayerRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file under dir, relative to it, sorted.
std::vector<std::string> filesUnder(const fs::path& dir)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files.push_back(fs::relative(entry.path(), dir).string());
    std::sort(files.begin(), files.end());
    return files;
}

class ArchiveShowTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/taldrex-archive-show-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "empty");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Packs the folder show into an archive at name (its format and filter from its
    // ending), under top ("" for none), every name upper-cased when shout is set.
    void pack(const fs::path& show, const std::string& name, const std::string& top, bool shout)
    {
        archive* writer = archive_write_new();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".zip") {
            archive_write_set_format_zip(writer);
        } else {
            archive_write_set_format_pax_restricted(writer);
            if (name.find(".tar.xz") != std::string::npos)
                archive_write_add_filter_xz(writer);
            else if (name.find(".tar.gz") != std::string::npos || name.find(".tgz") != std::string::npos)
                archive_write_add_filter_gzip(writer);
        }
        ASSERT_EQ(archive_write_open_filename(writer, (dir_ / name).c_str()), ARCHIVE_OK);
        for (const std::string& file : filesUnder(show)) {
            if (!fs::is_regular_file(show / file))
                continue;
            std::string stored = top + file;
            if (shout)
                std::transform(stored.begin(), stored.end(), stored.begin(), [](unsigned char c) { return std::toupper(c); });
            const std::string bytes = readWhole(show / file);
            archive_entry* entry = archive_entry_new();
            archive_entry_set_pathname(entry, stored.c_str());
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
            ASSERT_EQ(archive_write_header(writer, entry), ARCHIVE_OK);
            ASSERT_EQ(archive_write_data(writer, bytes.data(), bytes.size()), static_cast<la_ssize_t>(bytes.size()));
            archive_entry_free(entry);
        }
        ASSERT_EQ(archive_write_close(writer), ARCHIVE_OK);
        archive_write_free(writer);
    }

    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream out(dir_ / name, std::ios::binary);
        out << bytes;
    }

    fs::path dir_;
};

// The frames a capture of show writes, as PNG bytes in frame order; empty on failure.
std::vector<std::string> capture(const fs::path& dir, const std::string& show, const std::string& out)
{
    const PlayerRun run = runPlayer(dir.string(), "--capture '" + out + "' --size 160x90 --fps 4 --to 4000 '" + show + "'", false);
    std::vector<std::string> frames;
    if (run.status != 0)
        return frames;
    for (const std::string& file : filesUnder(dir / out))
        frames.push_back(readWhole(dir / out / file));
    return frames;
}

TEST_F(ArchiveShowTest, TheBundledShowPlaysFromItsArchivesAsFromItsFolder)
{
    const fs::path bundled = fs::path(TALDREX_BINARY_DIR) / "show";
    if (!fs::exists(bundled / "script.txt"))
        SKIP_FOR_MISSING("the bundled show is not built");
    const std::vector<std::string> folderFrames = capture(dir_, bundled.string(), "folder-frames");
    if (folderFrames.empty())
        SKIP_FOR_MISSING("the bundled show cannot be captured here (no off-screen OpenGL context?)");

    struct Case {
        const char* name;
        const char* top;
        bool shout;
    };
    for (const Case& c : {Case{"show.zip", "", false}, Case{"nested.zip", "Show/", false},
                          Case{"nested.tar.gz", "taldrex-show/", false}, Case{"show.tar.xz", "", false},
                          Case{"SHOUTED.TGZ", "SHOW/", true}, Case{"show.tar", "", true}}) {
        pack(bundled, c.name, c.top, c.shout);
        const PlayerRun check = runPlayer((dir_ / "empty").string(), "--check '" + (dir_ / c.name).string() + "'", true);
        EXPECT_EQ(check.status, 0) << c.name << "\n" << check.output;
        EXPECT_NE(check.output.find(": no problems found"), std::string::npos) << check.output;
        const std::vector<std::string> frames = capture(dir_, c.name, std::string(c.name) + "-frames");
        EXPECT_EQ(frames.size(), folderFrames.size()) << c.name;
        EXPECT_TRUE(frames == folderFrames) << c.name << ": frames differ from the folder's";
    }
    EXPECT_TRUE(fs::is_empty(dir_ / "empty"));
}

// A show of one picture, data/pic.png, that the script names.
const std::string PictureScript = "[textures]\npic.png\n";

// A 10 GiB entry of zeros, deflated honestly into about 10 MiB.
ZipBytesEntry tenGigabytesOfZeros()
{
    const std::string block(16 << 20, '\0');
    const std::string chunk = ZipDeflateChunk(block);
    const uLong blockCrc = crc32(0, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(block.size()));
    ZipBytesEntry entry;
    entry.name = "data/zeros.png";
    entry.deflated = true;
    uLong crc = 0;
    for (int i = 0; i < 640; ++i) {
        entry.data += chunk;
        crc = crc32_combine(crc, blockCrc, static_cast<z_off_t>(block.size()));
    }
    entry.data += ZipDeflateEnd();
    entry.size = 640ULL * block.size();
    entry.crc = static_cast<uint32_t>(crc);
    return entry;
}

TEST_F(ArchiveShowTest, HostileArchivesAreRefusedOrSkippedAndNamed)
{
    ZipBytesEntry link = StoredZipEntry("data/link.png", "/etc/passwd");
    link.unixMode = 0120777;
    ZipBytesEntry liar;
    liar.name = "data/pic.png";
    liar.deflated = true;
    liar.data = ZipDeflateChunk(std::string(64 << 20, '\0')) + ZipDeflateEnd();
    liar.size = 1000;
    ZipBytesEntry secret = StoredZipEntry("data/pic.png", "scrambled");
    secret.encrypted = true;
    std::vector<ZipBytesEntry> many;
    for (int i = 0; i < 100000; ++i)
        many.push_back(StoredZipEntry("data/" + std::to_string(i), "x"));
    const std::string whole = ZipBytes({StoredZipEntry("script.txt", PictureScript),
                                        StoredZipEntry("data/pic.png", std::string(100000, 'p'))});
    const ZipBytesEntry script = StoredZipEntry("script.txt", PictureScript);

    struct Case {
        std::string name;
        std::string bytes;
        std::string line; // the line --check must print
    };
    const Case cases[] = {
        {"up.zip", ZipBytes({script, StoredZipEntry("../evil.png", "x")}), "../evil.png: leads out"},
        {"absolute.zip", ZipBytes({script, StoredZipEntry("/tmp/taldrex-evil.png", "x")}),
         "/tmp/taldrex-evil.png: has an absolute path"},
        {"link.zip", ZipBytes({script, link}), "data/link.png: is a link"},
        {"zeros.zip", ZipBytes({script, tenGigabytesOfZeros()}), "data/zeros.png: is 10 GiB, more than the 1 GiB"},
        {"liar.zip", ZipBytes({script, liar}), "data/pic.png: inflates past the 1000 bytes its header declares"},
        {"many.zip", ZipBytes(many), "holds 100000 entries, more than the 65536 an archive may hold"},
        {"cut.zip", whole.substr(0, whole.size() / 2), "data/pic.png: "},
        {"encrypted.zip", ZipBytes({script, secret}), "data/pic.png: is encrypted"},
        {"nested.zip", ZipBytes({script, StoredZipEntry("data/inner.zip", ZipBytes({script}))}),
         "data/inner.zip: is an archive inside the archive"},
    };
    for (const Case& c : cases) {
        write(c.name, c.bytes);
        const PlayerRun run = runPlayer((dir_ / "empty").string(), "--check '" + (dir_ / c.name).string() + "'", true);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.output;
        // Once: a file the script names that the headers refused is not named again.
        const size_t first = run.output.find(c.line);
        EXPECT_NE(first, std::string::npos) << c.name << "\n" << run.output;
        EXPECT_EQ(run.output.find(c.line, first + 1), std::string::npos) << c.name << "\n" << run.output;
        EXPECT_EQ(run.output.find("AddressSanitizer"), std::string::npos) << run.output;
    }
    // Nothing was unpacked: beside the archives there is only the empty folder the player ran in.
    std::vector<std::string> expected{"empty"};
    for (const Case& c : cases)
        expected.push_back(c.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(filesUnder(dir_), expected);
    EXPECT_FALSE(fs::exists("/tmp/taldrex-evil.png"));
}

} // namespace
