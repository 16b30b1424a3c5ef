// Damage sweeps: a file's bytes cut short at evenly spaced lengths and with single bytes
// changed at random places (fixed seed), each copy handed to a loader while the heap is
// watched.
#pragma once

#include "heap_meter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One damaged copy of a file.
struct DamagedCopy {
    const std::string& bytes;
    bool cut;          // cut short rather than changed
    std::size_t where; // the length it was cut to, or the offset of the changed byte
};

// What a sweep saw.
struct SweepFigures {
    int copies = 0;
    std::size_t largestRise = 0; // most heap any one load held above where it started
};

// The memory a load of a file of `size` bytes may hold: four times the file plus 64 MiB.
inline std::size_t loadMemoryBound(std::size_t size)
{
    return 4 * size + (std::size_t(64) << 20);
}

// Hands `count` cut copies (lengths size * i / count for i = 0 .. count - 1), then `count`
// copies with one byte each replaced by a different value, to load, and measures the heap
// each load holds at its peak.
SweepFigures sweepDamage(const std::string& bytes, int count, uint32_t seed,
                         const std::function<void(const DamagedCopy&)>& load);

// A file in a fresh private folder, rewritten at will; removed with its folder.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& name);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's contents; returns its path.
    const std::string& write(const std::string& bytes);
    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

// The whole contents of a file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);

// The bundled show's folder in the build tree.
std::string bundledShowFolder();
// The paths of the bundled show's data files whose names end in extension (any letter
// case), sorted; none when the show has not been built.
std::vector<std::string> bundledShowFiles(const std::string& extension);
