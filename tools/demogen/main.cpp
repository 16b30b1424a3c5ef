// taldrex-demogen OUTDIR: writes the bundled show (script.txt and data/) into OUTDIR.
#include "show.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: taldrex-demogen OUTDIR\n");
        return 2;
    }
    std::string error;
    if (!generateShow(argv[1], error)) {
        std::fprintf(stderr, "taldrex-demogen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
