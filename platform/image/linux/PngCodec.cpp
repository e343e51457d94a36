#include "platform/image/PngCodec.h"

#include <spng.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace platform {
namespace image {
namespace {

struct ContextCloser {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextCloser>;

// Ancillary chunks (text, ICC profiles) are skipped beyond this size; it bounds the memory a
// hostile file can make the decoder hold.
const size_t kChunkLimit = 8u << 20;

}  // namespace

bool EncodePng(const Bitmap& bitmap, std::string& out) {
    out.clear();
    if (bitmap.empty() || !IsAcceptableSize(bitmap.width, bitmap.height)) return false;
    const bool alpha = bitmap.HasTransparency();
    const size_t channels = alpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(bitmap.width) * bitmap.height * channels);
    for (size_t i = 0, n = static_cast<size_t>(bitmap.width) * bitmap.height; i < n; ++i) {
        const uint8_t* px = &bitmap.bgra[i * 4];
        uint8_t* dst = &pixels[i * channels];
        dst[0] = px[2];
        dst[1] = px[1];
        dst[2] = px[0];
        if (alpha) dst[3] = px[3];
    }
    Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) return false;
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr = {};
    ihdr.width = bitmap.width;
    ihdr.height = bitmap.height;
    ihdr.bit_depth = 8;
    ihdr.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    if (spng_set_ihdr(ctx.get(), &ihdr) != 0) return false;
    if (spng_encode_image(ctx.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE) != 0)
        return false;
    size_t length = 0;
    int error = 0;
    void* png = spng_get_png_buffer(ctx.get(), &length, &error);
    if (png && error == 0) out.assign(static_cast<const char*>(png), length);
    std::free(png);
    return !out.empty();
}

bool DecodePng(const uint8_t* data, size_t size, Bitmap& bitmap) {
    bitmap = Bitmap();
    if (!data || size == 0) return false;
    Context ctx(spng_ctx_new(0));
    if (!ctx) return false;
    spng_set_crc_action(ctx.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_chunk_limits(ctx.get(), kChunkLimit, kChunkLimit);
    spng_set_image_limits(ctx.get(), kMaxImageSide, kMaxImageSide);
    if (spng_set_png_buffer(ctx.get(), data, size) != 0) return false;
    spng_ihdr ihdr = {};
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return false;
    if (!IsAcceptableSize(ihdr.width, ihdr.height)) return false;
    size_t length = 0;
    if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &length) != 0) return false;
    Bitmap decoded;
    if (!decoded.Allocate(ihdr.width, ihdr.height) || length != decoded.bgra.size()) return false;
    if (spng_decode_image(ctx.get(), decoded.bgra.data(), length, SPNG_FMT_RGBA8,
                          SPNG_DECODE_TRNS) != 0)
        return false;
    for (size_t i = 0; i < length; i += 4) std::swap(decoded.bgra[i], decoded.bgra[i + 2]);
    bitmap = std::move(decoded);
    return true;
}

}  // namespace image
}  // namespace platform
