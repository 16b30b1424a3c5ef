// Fuzzes the glTF importer: any bytes as a .gltf or .glb model, imported and written as a
// scene file the player then reads.
#include "gltf_import.h"

#include "scene/scene.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ImportedShow show;
    std::string error;
    // External files are looked up in a folder that does not exist.
    if (!importGltfMemory(data, size, "/nonexistent-gltf-fuzz", "fuzz.gltf", {}, show, error))
        return 0;
    const std::string bytes = writeScene(show.scene);
    Scene scene;
    scene.loadMemory(bytes.data(), bytes.size());
    if (scene.reader->failed())
        std::abort(); // the importer wrote a scene the player cannot read whole
    return 0;
}
