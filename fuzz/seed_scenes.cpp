// Writes the sample scenes into a folder as seeds for the scene reader's fuzzing, and demo
// folders (script, scene, picture and sound in one input) as seeds for the folder fuzzer.
#include "sample_scenes.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    return static_cast<bool>(file);
}

// One input of the folder fuzzer: the script, then each file after "\n--file NAME\n".
bool writeFolderSeeds(const std::string& folder, const std::string& corpus)
{
    const std::string script = "[mp3]\nmusic.mp3\n\n[textures]\nlogo.png\nback.jpg\n\n[scenes]\nsample.scn\n\n"
                               "[part]\nsample.scn\n1000\ncamera\nback.jpg\nlogo.png\n"
                               "[part]\nsample.scn\n2000\ncam\nstandard\nstandard\n";
    const std::string files = "\n--file sample.scn\n" + writeScene(sampleScene(2)) +
                              "\n--file logo.png\n" + readFile(corpus + "/png/basn6a08.png") +
                              "\n--file back.jpg\n" + readFile(corpus + "/jpeg/testorig.jpg") +
                              "\n--file music.mp3\n" + readFile(corpus + "/mp3/l3-compl-cut.mp3");
    return writeFile(folder + "/show.folder", script + files) &&
           writeFile(folder + "/nested.folder", "[scenes]\nnested.scn\n\n[part]\nnested.scn\n500\nn\nstandard\nstandard\n"
                                                "\n--file nested.scn\n" + writeScene(nestedScene(12)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: seed_scenes SCENE_FOLDER [DEMO_SEED_FOLDER CORPUS_FOLDER]\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = saveScene(sampleScene(2), folder + "/sample.scn") &&
              saveScene(sampleScene(0), folder + "/sample-without-grid.scn") &&
              saveScene(minimalScene(), folder + "/minimal.scn") &&
              saveScene(nestedScene(12), folder + "/nested.scn");
    if (ok && argc == 4)
        ok = writeFolderSeeds(argv[2], argv[3]);
    if (!ok)
        std::fprintf(stderr, "seed_scenes: cannot write the seeds\n");
    return ok ? 0 : 1;
}
