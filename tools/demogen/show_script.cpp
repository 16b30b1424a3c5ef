#include "show_script.h"

#include "show_timing.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

// Every picture a part or a scene names; the loading picture is loaded on its own.
const char* const Textures[] = {
    show::SkyBackground,   show::NebulaBackground, show::HorizonBackground,
    show::TitleOverlay,    show::LogoOverlay,      show::CreditsOverlay,
    show::TheEndOverlay,   show::CheckerTexture,   show::GradientTexture,
    show::MarbleTexture,   show::ChromeTexture,    show::StripesTexture,
    show::GlowTexture,
};

} // namespace

std::string scriptText()
{
    std::string text;
    text += "# Taldrex - the bundled show. " + std::to_string(show::BeatsPerMinute) +
            " beats per minute, parts change on bar lines.\n\n";
    text += "[mp3]\n";
    text += std::string(show::MusicFile) + "\n\n";
    text += "[textures]\n";
    for (const char* texture : Textures) {
        text += std::string(texture) + "\n";
    }
    text += "\n[scenes]\n";
    for (const char* scene : show::SceneFiles) {
        text += std::string(scene) + "\n";
    }
    for (const show::ShowPart& part : show::Parts) {
        text += "\n[part]\n";
        text += std::string(part.scene) + "\n";
        text += std::to_string(part.endMs) + "\n";
        text += std::string(part.camera) + "\n";
        text += std::string(part.background) + "\n";
        text += std::string(part.overlay) + "\n";
    }
    return text;
}

bool writeScript(const std::string& path, std::string& error)
{
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        error = path + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    out << scriptText();
    out.close();
    if (!out) {
        error = path + ": write failed";
        return false;
    }
    return true;
}
