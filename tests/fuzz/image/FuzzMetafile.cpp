// libFuzzer target: metafile playback in this process (the record checks, then the player;
// the plug-in runs the same in its renderer program). The first byte picks the player; the
// rest is the metafile (a WMF record chain behind a fixed placeable header, or an EMF).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/image/linux/MetafilePlayers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    platform::image::Bitmap out;
    if (data[0] & 1) {
        platform::image::PlayEmf(data + 1, size - 1, out);
    } else {
        // A valid placeable header keeps the fuzzer on the records.
        static const uint8_t kPlaceable[22] = {0xD7, 0xCD, 0xC6, 0x9A, 0,    0, 0, 0, 0, 0, 0xE8,
                                               0x03, 0xC8, 0x00, 0xE8, 0x03, 0, 0, 0, 0, 0, 0};
        std::vector<uint8_t> wmf(kPlaceable, kPlaceable + sizeof kPlaceable);
        wmf.insert(wmf.end(), data + 1, data + size);
        platform::image::PlayWmf(wmf.data(), wmf.size(), 64, 16, out);
    }
    return 0;
}
