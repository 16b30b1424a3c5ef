// taldrex-demogen OUTDIR: writes the bundled show (script.txt and data/) into OUTDIR.
#include "show.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    const char* const usage = "usage: taldrex-demogen OUTDIR\n"
                              "Writes the bundled show (script.txt and data/) into OUTDIR.\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    // Any other option is a misuse too: a show is never written into a folder named "-x".
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(usage, stderr);
        return 2;
    }
    std::string error;
    if (!generateShow(argv[1], error)) {
        std::fprintf(stderr, "taldrex-demogen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
