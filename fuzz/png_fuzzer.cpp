// Fuzzes the PNG decoder with any bytes as a PNG file.
#include "image/png_decoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedImage image = DecodePng(data, size);
    if (!image.empty() && image.pixels.size() != size_t(image.width) * image.height * 4)
        std::abort();
    return 0;
}
