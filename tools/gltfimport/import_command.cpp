#include "import_command.h"

#include "show_files.h"

#include "common/ascii_case.h"
#include "common/printable_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

int usageError(const std::string& message)
{
    std::fprintf(stderr, "taldrex-scene import: %s\n", PrintableText(message).c_str());
    std::fprintf(stderr, "usage: taldrex-scene import MODEL.gltf|MODEL.glb DEMO_DIR [--name NAME] [--scene N] "
                         "[--animation NAME|all] [--tolerance T] [--fps N] [--dry-run | --watch] [--env FILE] "
                         "[--single-sided] [--scale S]\n");
    return 2;
}

bool parseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

} // namespace

ImportCommand::ImportCommand(CLI::App& app)
{
    command_ = app.add_subcommand("import",
        "Turn a glTF 2.0 model (.gltf or .glb) into DEMO_DIR/data/NAME.scn with its textures and add them "
        "to DEMO_DIR/script.txt; exit 1 if the model cannot be imported (nothing written), 2 on usage errors");
    // Unknown arguments are this command's usage errors (exit 2), reported by run().
    command_->allow_extras();
    command_->add_option("MODEL", model_, "the glTF 2.0 file (.gltf with embedded or external buffers, or .glb)")
        ->type_name("FILE");
    command_->add_option("DEMO_DIR", demoDir_, "the demo folder (created when missing)")->type_name("DIR");
    command_->add_option("--name", name_, "the scene's name (default: the model's file name, lower case)")
        ->type_name("NAME");
    command_->add_option("--scene", scene_, "which glTF scene, from 0 (default: the model's default scene)")
        ->type_name("N");
    command_->add_option("--animation", animation_, "the animation to import by name, or all of them in turn (default: the first)")
        ->type_name("NAME|all");
    command_->add_option("--tolerance", tolerance_,
        "largest difference the fitted keys may leave, as a fraction of each track's range (default 0.001; "
        "rotations 0.05 degrees and fields of view 0.01 degrees at 0.001, in proportion)")
        ->type_name("T");
    command_->add_option("--fps", fps_, "frames per second of animation time (default 30, the player's rate; 60 plays at half speed)")
        ->type_name("N");
    command_->add_flag("--dry-run", dryRun_, "print what would be written and write nothing");
    command_->add_option("--env", env_, "a JPEG or PNG sphere map given to metallic materials")->type_name("FILE");
    command_->add_option("--scale", scale_,
        "multiply the whole model by S (default: by the power of ten that fits what its cameras see between 1 and "
        "1000 units away, inside the player's depth range of 0.1 to 10000, lowered where the 16-bit depth buffer "
        "would not tell apart surfaces a thousandth of the model's size apart; --scale 1 keeps its size)")
        ->type_name("S");
    command_->add_flag("--single-sided", singleSided_,
                       "write each face of a double-sided material once, so the player culls its back (by default "
                       "each is also written turned round)");
}

int ImportCommand::run(std::FILE* out, std::FILE* err) const
{
    if (!command_->remaining().empty())
        return usageError("does not take " + command_->remaining().front());
    if (model_.empty() || demoDir_.empty())
        return usageError("needs a model file and a demo folder");
    ImportOptions options;
    options.name = LowerCase(name_);
    for (char c : options.name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return usageError("--name takes letters, digits, '_' and '-' only");
    double value = 0;
    if (!scene_.empty()) {
        if (!parseNumber(scene_, value) || value < 0 || value != std::floor(value) || value > 1e9)
            return usageError("--scene takes a scene number from 0");
        options.scene = int(value);
    }
    options.animation = animation_;
    if (!tolerance_.empty()) {
        if (!parseNumber(tolerance_, value) || !(value > 0) || value > 1)
            return usageError("--tolerance takes a number above 0 and at most 1");
        options.tolerance = value;
    }
    if (!fps_.empty()) {
        if (!parseNumber(fps_, value) || value < 1 || value > 1000 || value != std::floor(value))
            return usageError("--fps takes a whole number from 1 to 1000");
        options.fps = int(value);
    }
    options.envFile = env_;
    options.singleSided = singleSided_;
    if (!scale_.empty()) {
        if (!parseNumber(scale_, value) || !(value > 0) || value > 1e9 || value < 1e-9)
            return usageError("--scale takes a number above 0 (from 1e-9 to 1e9)");
        options.scale = value;
    }
    return runImport(model_, demoDir_, options, dryRun_, out, err);
}
