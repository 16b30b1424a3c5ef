#include "scenes.h"

#include "show_assets.h"

#include <cerrno>
#include <cstring>

bool writeScenes(const std::string& dataDir, std::string& error)
{
    struct SceneFile {
        const char* name;
        SceneSpec (*build)();
    };
    const SceneFile files[] = {
        {show::IntroScene, introScene}, {show::OrbitScene, orbitScene},
        {show::TunnelScene, tunnelScene}, {show::MorphScene, morphScene},
        {show::LightsScene, lightsScene}, {show::FinaleScene, finaleScene},
    };
    for (const SceneFile& file : files) {
        std::string path = dataDir + "/" + file.name;
        errno = 0;
        if (!saveScene(file.build(), path)) {
            error = path + ": cannot be written" + (errno ? std::string(": ") + std::strerror(errno) : "");
            return false;
        }
    }
    return true;
}
