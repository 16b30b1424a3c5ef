#include "app/demo_app.h"

#include <cstdio>

int RunDemoApp(int, char**)
{
    std::fprintf(stderr, "taldrex: the player is not built yet\n");
    return 1;
}
