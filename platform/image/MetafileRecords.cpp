// The record walks run before any metafile reaches a player: the players trust record sizes.
#include "platform/image/ByteReader.h"
#include "platform/image/ImageSize.h"
#include "platform/image/Metafile.h"

namespace platform {
namespace image {
namespace {

const uint16_t kWmfEofFunction = 0x0000;
const uint32_t kEmfHeaderType = 1;
const uint32_t kEmfEofType = 14;

}  // namespace

bool IsWellFormedWmf(const uint8_t* data, size_t size) {
    if (!data || size > kMaxMetafileBytes) return false;
    ByteReader r(data, size);
    size_t at = r.Le32(0) == kPlaceableWmfKey ? kPlaceableWmfHeaderSize : 0;
    const uint16_t type = r.Le16(at), headerWords = r.Le16(at + 2);
    if (r.failed() || (type != 1 && type != 2) || headerWords != 9) return false;
    at += 18;
    for (uint32_t records = 0; records < kMaxMetafileRecords; ++records) {
        const uint32_t words = r.Le32(at);
        const uint16_t function = r.Le16(at + 4);
        if (r.failed()) return false;
        if (function == kWmfEofFunction) return true;
        // A record has at least its size and function (3 words) and ends inside the data.
        if (words < 3 || !r.Has(at, static_cast<size_t>(words) * 2)) return false;
        at += static_cast<size_t>(words) * 2;
    }
    return false;
}

bool IsWellFormedEmf(const uint8_t* data, size_t size) {
    if (!data || size > kMaxMetafileBytes) return false;
    ByteReader r(data, size);
    if (r.Le32(0) != kEmfHeaderType || r.Le32(40) != 0x464D4520u || r.failed()) return false;
    size_t at = 0;
    for (uint32_t records = 0; records < kMaxMetafileRecords; ++records) {
        const uint32_t type = r.Le32(at), length = r.Le32(at + 4);
        if (r.failed()) return false;
        if (length < 8 || length % 4 != 0 || !r.Has(at, length)) return false;
        if (type == kEmfEofType) return true;
        at += length;
    }
    return false;
}

bool EmfCanvasSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height) {
    width = height = 0;
    return IsWellFormedEmf(data, size) && ReadImagePixelSize(data, size, width, height) &&
           FitToPictureLimits(width, height);
}

}  // namespace image
}  // namespace platform
