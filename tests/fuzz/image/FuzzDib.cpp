// libFuzzer target: CF_DIB blocks and BMP files through our decoder.
#include <cstddef>
#include <cstdint>

#include "platform/image/DibDecoder.h"
#include "platform/image/ImageSize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::image::DibImage image;
    if (platform::image::DecodeDib(data, size, image)) {
        // A decoded picture must be exactly as large as it says.
        if (image.bitmap.bgra.size() != size_t(image.bitmap.width) * image.bitmap.height * 4)
            __builtin_trap();
    }
    platform::image::DecodeBmp(data, size, image);
    uint32_t w = 0, h = 0;
    platform::image::ReadImagePixelSize(data, size, w, h);
    return 0;
}
