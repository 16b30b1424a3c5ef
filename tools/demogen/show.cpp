#include "show.h"

#include "mp3_encoder.h"
#include "music.h"
#include "pictures.h"
#include "show_assets.h"
#include "show_script.h"

#include <filesystem>
#include <system_error>

bool generateShow(const std::string& outDir, std::string& error)
{
    std::string dataDir = outDir + "/data";
    std::error_code failure;
    std::filesystem::create_directories(dataDir, failure);
    if (failure) {
        error = dataDir + ": cannot be created: " + failure.message();
        return false;
    }
    if (!writeMp3(dataDir + "/" + show::MusicFile, renderMusic(), error) ||
        !writePictures(dataDir, error)) {
        return false;
    }
    // The script goes last: its presence means the folder is complete.
    return writeScript(outDir + "/script.txt", error);
}
