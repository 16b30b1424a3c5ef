// Loaded into the player by the start-up benchmark (LD_PRELOAD) to tell when a window run
// shows its first frame of the show: the second buffer swap (the first shows the loading
// picture) closes an empty file named by TALDREX_BENCH_FRAME_FILE, which the benchmark
// watches for. The player itself is left as it is.
#include <SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {
using SwapFunction = void (*)(SDL_Window*);
int swaps = 0;
} // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window)
{
    static SwapFunction real = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    if (real)
        real(window);
    if (++swaps != 2)
        return;
    if (const char* file = std::getenv("TALDREX_BENCH_FRAME_FILE")) {
        int fd = open(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0)
            close(fd);
    }
}
