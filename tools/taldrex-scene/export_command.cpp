#include "export_command.h"

#include "common/printable_text.h"
#include "gltf_export.h"
#include "scene/scene.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct ExportArguments {
    std::string scene;
    std::string out;
    GltfExportOptions options;
};

std::string count(int n, const std::string& what)
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : what == "mesh" ? "es" : "s");
}

int exportScene(const ExportArguments& arguments)
{
    const std::string scenePath = PrintableText(arguments.scene);
    Scene scene;
    if (scene.loadFile(arguments.scene.c_str()) != 0) {
        std::fprintf(stderr, "taldrex-scene: %s: cannot open the file\n", scenePath.c_str());
        return 1;
    }
    const bool damaged = scene.reader->failed();
    if (damaged)
        std::fprintf(stderr, "taldrex-scene: %s: damaged: reading stopped at byte %lld; exporting what was read\n",
                     scenePath.c_str(), static_cast<long long>(scene.reader->failedOffset()));
    GltfExportOptions options = arguments.options;
    options.sceneFile = arguments.scene;
    GltfExportSummary summary;
    std::string error;
    if (!ExportGltf(scene, arguments.out, options, summary, error)) {
        std::fprintf(stderr, "taldrex-scene: %s\n", PrintableText(error).c_str());
        return 1;
    }
    std::printf("%s -> %s: %s, %s, %s, %s, %s; frames 0 to %d in %d samples at %d a second\n", scenePath.c_str(),
                PrintableText(arguments.out).c_str(), count(summary.nodes, "node").c_str(),
                count(summary.meshes, "mesh").c_str(), count(summary.cameras, "camera").c_str(),
                count(summary.lights, "light").c_str(), count(summary.images, "image").c_str(), summary.lastFrame,
                summary.samples, options.fps);
    for (const std::string& note : summary.notes)
        std::printf("note: %s\n", PrintableText(note).c_str());
    return damaged ? 2 : 0;
}

} // namespace

void AddExportCommand(CLI::App& app, int& status)
{
    CLI::App* command = app.add_subcommand(
        "export", "Write a scene file as glTF 2.0, every track sampled frame by frame as the player plays it");
    command->footer(
        "Writes .glb, or .gltf with a .bin beside it: the nodes with their names and tree, meshes, materials with "
        "their pictures, cameras and lights, every track sampled at every frame of the scene's keys through the "
        "player's own evaluation, with the player's Z-up turned to glTF's Y-up. A summary lists what glTF cannot "
        "hold as the player shows it. Exit status: 0 written, 1 the scene cannot be opened or the glTF written, "
        "2 the scene is damaged (what was read is exported).\n");
    auto arguments = std::make_shared<ExportArguments>();
    command->add_option("SCENE", arguments->scene, "the scene file")->required();
    command->add_option("OUT", arguments->out, "the glTF file to write, ending in .glb or .gltf")->required();
    command->add_option("--demo", arguments->options.demoFolder,
                        "the demo folder whose data/ holds the materials' pictures (found as the player finds "
                        "them: listed in its script.txt, in any letter case); without it the glTF has no textures");
    command->add_option("--fps", arguments->options.fps, "samples per second of part time (the player's frames are 30)")
        ->check(CLI::Range(1, 1000));
    command->callback([&status, arguments] { status = exportScene(*arguments); });
}
