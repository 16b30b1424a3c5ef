// Fuzzes a show read from an archive as --check reads it: the input's first byte chooses
// the kind of archive (zip, tar, tar.gz, tar.xz) and the rest is the archive itself.
#include "common/data_file.h"
#include "demo/check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Where the archive of an input is written, one file per ending, in memory-backed storage
// where there is some; scripts/run-fuzz removes them afterwards.
std::string archivePath(const char* ending)
{
    std::error_code error;
    static const fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    return (base / ("taldrex-archive-fuzz-" + std::to_string(getpid()) + ending)).string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const endings[] = {".zip", ".tar", ".tar.gz", ".tar.xz"};
    const std::string path = archivePath(endings[data[0] % 4]);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);

    DataFolder show;
    std::string problem;
    if (show.open(path, true, problem))
        CheckDemoFolder(show);
    return 0;
}
