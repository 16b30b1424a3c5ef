#include "demo/show_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each file as "name|name" to fetch, or "!path: why" refused.
std::vector<std::string> describe(const std::string& script)
{
    std::vector<std::string> lines;
    for (const ShowFile& file : ShowFilesOf(script)) {
        if (!file.refused.empty()) {
            lines.push_back("!" + file.path + ": " + file.refused);
            continue;
        }
        std::string names;
        for (const std::string& name : file.names)
            names += (names.empty() ? "" : "|") + name;
        lines.push_back(names);
    }
    return lines;
}

} // namespace

TEST(ShowFiles, NamesEveryListedFileOnceInScriptOrderWithItsLowerCaseForm)
{
    const char* outside = "!data/../../secret.png: outside the demo folder";
    struct Case {
        const char* script;
        std::vector<std::string> files;
    } cases[] = {
        {"", {"data/Loading.jpg|data/loading.jpg"}},
        // Written case first, CRLF endings dropped, a repeated entry once, parts name nothing.
        {"[mp3]\r\nMusic.MP3\r\n\r\n[textures]\r\nsky.jpg\r\nSky.jpg\r\n\r\n[scenes]\r\nintro.scn\r\n\r\n"
         "[part]\r\nother.scn\r\n1000\r\ncam\r\nsky.jpg\r\nstandard\r\n",
         {"data/Loading.jpg|data/loading.jpg", "data/Music.MP3|data/music.mp3", "data/sky.jpg", "data/intro.scn"}},
        // Backslashes are folders; "." and ".." inside the folder are taken back.
        {"[textures]\nsub\\a.png\n.\\sub\\..\\b.png\n..\\c.png\n",
         {"data/Loading.jpg|data/loading.jpg", "data/sub/a.png", "data/b.png", "c.png"}},
        // Out of the folder, or an address of its own: refused, or kept inside.
        {"[textures]\n..\\..\\secret.png\nhttp://elsewhere/x.png\n/etc/passwd.png\n",
         {"data/Loading.jpg|data/loading.jpg", outside, "data/http:/elsewhere/x.png", "data/etc/passwd.png"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describe(c.script), c.files) << c.script;
}
