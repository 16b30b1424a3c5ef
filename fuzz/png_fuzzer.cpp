// Fuzzes the PNG decoder with any bytes as a PNG file.
#include "memory_file.h"

#include "image/png_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static MemoryFile file;
    DecodedImage image = DecodePng(file.write(data, size));
    if (!image.empty() && image.pixels.size() != size_t(image.width) * image.height * 4)
        std::abort();
    return 0;
}
