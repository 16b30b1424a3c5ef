// Writes the sample scenes into a folder as seeds for the scene reader's fuzzing.
#include "sample_scenes.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: seed_scenes FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = saveScene(sampleScene(2), folder + "/sample.scn") &&
              saveScene(sampleScene(0), folder + "/sample-without-grid.scn") &&
              saveScene(minimalScene(), folder + "/minimal.scn") &&
              saveScene(nestedScene(12), folder + "/nested.scn");
    if (!ok)
        std::fprintf(stderr, "seed_scenes: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
