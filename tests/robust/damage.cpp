#include "damage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include <dirent.h>
#include <strings.h>
#include <unistd.h>

SweepFigures sweepDamage(const std::string& bytes, int count, uint32_t seed,
                         const std::function<void(const DamagedCopy&)>& load)
{
    SweepFigures figures;
    auto measure = [&](const DamagedCopy& copy) {
        HeapMeter meter;
        load(copy);
        figures.largestRise = std::max(figures.largestRise, meter.rise());
        ++figures.copies;
    };
    std::string damaged;
    for (int i = 0; i < count; ++i) {
        std::size_t length = bytes.size() * static_cast<std::size_t>(i) / static_cast<std::size_t>(count);
        damaged.assign(bytes, 0, length);
        measure({damaged, true, length});
    }
    if (bytes.empty())
        return figures;
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> offset(0, bytes.size() - 1);
    std::uniform_int_distribution<int> change(1, 255);
    damaged = bytes;
    for (int i = 0; i < count; ++i) {
        std::size_t at = offset(random);
        damaged[at] = static_cast<char>(static_cast<unsigned char>(bytes[at]) ^ change(random));
        measure({damaged, false, at});
        damaged[at] = bytes[at];
    }
    return figures;
}

ScratchFile::ScratchFile(const std::string& name)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/taldrex-robust-XXXXXX";
    if (mkdtemp(pattern.data()))
        folder_ = pattern;
    path_ = folder_ + "/" + name;
}

ScratchFile::~ScratchFile()
{
    std::remove(path_.c_str());
    if (!folder_.empty())
        rmdir(folder_.c_str());
}

const std::string& ScratchFile::write(const std::string& bytes)
{
    std::ofstream(path_, std::ios::binary | std::ios::trunc).write(bytes.data(),
                                                                  static_cast<std::streamsize>(bytes.size()));
    return path_;
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string bundledShowFolder()
{
    return std::string(TALDREX_BINARY_DIR) + "/show";
}

std::vector<std::string> bundledShowFiles(const std::string& extension)
{
    std::vector<std::string> paths;
    const std::string folder = bundledShowFolder() + "/data";
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return paths;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() > extension.size() &&
            strcasecmp(name.c_str() + name.size() - extension.size(), extension.c_str()) == 0)
            paths.push_back(folder + "/" + name);
    }
    closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}
