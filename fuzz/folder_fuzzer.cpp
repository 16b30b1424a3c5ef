// Fuzzes a whole demo folder as the checker loads it: one input holds script.txt and the
// files under data/ it names, split on "\n--file NAME\n" lines (the script comes first).
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

const std::string Separator = "\n--file ";

// A file name the input may choose: lower-case letters, digits, '.', '_' and '-', at most
// 40 bytes, so that every file lands inside data/.
std::string safeName(const std::string& name)
{
    std::string safe;
    for (char c : name.substr(0, 40))
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-')
            safe += c;
    if (safe.empty() || safe == "." || safe == "..")
        safe = "unnamed";
    return safe;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// The folder every input is written into, made once per process in memory-backed storage
// where there is some; scripts/run-fuzz removes it afterwards, since libFuzzer may end the
// process without running exit handlers.
const fs::path& demoFolder()
{
    static const fs::path folder = [] {
        std::error_code error;
        fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path made = base / ("taldrex-folder-fuzz-" + std::to_string(getpid()));
        fs::create_directories(made / "data");
        return made;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fs::path& folder = demoFolder();
    fs::remove_all(folder / "data");
    fs::create_directories(folder / "data");

    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t end = input.find(Separator);
    writeFile(folder / "script.txt", input.substr(0, end));
    while (end != std::string::npos) {
        const size_t nameStart = end + Separator.size();
        const size_t nameEnd = input.find('\n', nameStart);
        if (nameEnd == std::string::npos)
            break;
        const std::string name = safeName(input.substr(nameStart, nameEnd - nameStart));
        end = input.find(Separator, nameEnd);
        const size_t bodyEnd = end == std::string::npos ? input.size() : end;
        writeFile(folder / "data" / name, input.substr(nameEnd + 1, bodyEnd - nameEnd - 1));
    }

    // Opened as the player opens a show: confined to the folder, from wherever the fuzzer
    // stands.
    DataFolder show;
    std::string problem;
    if (!show.open(folder.string(), true, problem))
        std::abort();
    CheckDemoFolder(show);
    return 0;
}
