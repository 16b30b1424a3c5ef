// Fuzzes the JPEG decoder with any bytes as a JPEG file.
#include "image/jpeg_decoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedImage image = DecodeJpeg(data, size);
    if (!image.empty() && image.pixels.size() != size_t(image.width) * image.height * 3)
        std::abort();
    return 0;
}
