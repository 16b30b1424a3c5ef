// Linked into every program of a sanitizer build: shared libraries stay loaded until the
// process ends. The leak check runs at exit; a library unloaded before then (the OpenGL
// driver, which SDL releases with the window) leaves blocks it still meant to keep looking
// leaked, with no name to say whose they are. Kept loaded, its memory stays reachable from
// its own data and is not reported, while every block our code loses still is.
extern "C" int dlclose(void*)
{
    return 0;
}
