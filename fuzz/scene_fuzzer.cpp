// Fuzzes the scene reader: any bytes as a scene file, then every node evaluated.
#include "memory_file.h"
#include "support/scene_workout.h"

#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static MemoryFile file;
    Scene scene;
    if (scene.loadFile(file.write(data, size).c_str()) != 0)
        std::abort(); // the memory file always opens
    volatile float sum = workOutScene(scene);
    (void)sum;
    return 0;
}
