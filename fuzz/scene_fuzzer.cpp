// Fuzzes the scene reader: any bytes as a scene file, then every node evaluated.
#include "support/scene_workout.h"

#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Scene scene;
    scene.loadMemory(data, size);
    volatile float sum = workOutScene(scene);
    (void)sum;
    return 0;
}
