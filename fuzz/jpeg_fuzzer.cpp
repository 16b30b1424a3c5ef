// Fuzzes the JPEG decoder with any bytes as a JPEG file.
#include "memory_file.h"

#include "image/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static MemoryFile file;
    DecodedImage image = DecodeJpeg(file.write(data, size));
    if (!image.empty() && image.pixels.size() != size_t(image.width) * image.height * 3)
        std::abort();
    return 0;
}
