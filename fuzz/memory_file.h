// MemoryFile: fuzz input handed to readers that only take a path, without touching the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

// An anonymous in-memory file whose /proc path opens like a regular file. One per process,
// rewritten for every input.
class MemoryFile {
public:
    MemoryFile()
    {
        fd_ = memfd_create("fuzz-input", 0);
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }

    // Replaces the file's contents with size bytes; returns its path.
    const std::string& write(const uint8_t* data, size_t size)
    {
        if (ftruncate(fd_, 0) != 0 || (size > 0 && pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))) {
            std::perror("memory file");
            std::abort();
        }
        return path_;
    }

private:
    int fd_ = -1;
    std::string path_;
};
