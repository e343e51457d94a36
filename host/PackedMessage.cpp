#include "host/PackedMessage.h"

#include <zlib.h>

#include <algorithm>

namespace host {

bool Deflate(const std::string& text, std::string& stream) {
    z_stream z{};
    if (deflateInit(&z, Z_BEST_SPEED) != Z_OK) return false;
    stream.resize(deflateBound(&z, static_cast<uLong>(text.size())));
    auto* const out = reinterpret_cast<Bytef*>(&stream[0]);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.next_out = out;
    // zlib counts in 32 bits: a longer text goes in slices.
    constexpr size_t kSlice = size_t{1} << 30;
    size_t fed = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (z.avail_in == 0 && fed < text.size()) {
            z.avail_in = static_cast<uInt>(std::min(text.size() - fed, kSlice));
            fed += z.avail_in;
        }
        z.avail_out = static_cast<uInt>(
            std::min(stream.size() - static_cast<size_t>(z.next_out - out), kSlice));
        status = deflate(&z, fed == text.size() ? Z_FINISH : Z_NO_FLUSH);
    }
    const bool done = status == Z_STREAM_END;
    stream.resize(done ? static_cast<size_t>(z.next_out - out) : 0);
    deflateEnd(&z);
    return done;
}

void AppendBase64(const char* bytes, size_t length, std::string& out) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    const size_t start = out.size();
    out.resize(start + (length + 2) / 3 * 4);
    char* o = &out[start];
    size_t i = 0;
    for (; i + 3 <= length; i += 3, o += 4) {
        const unsigned v = in[i] << 16 | in[i + 1] << 8 | in[i + 2];
        o[0] = kDigits[v >> 18];
        o[1] = kDigits[v >> 12 & 63];
        o[2] = kDigits[v >> 6 & 63];
        o[3] = kDigits[v & 63];
    }
    if (i < length) {
        const unsigned v = in[i] << 16 | (i + 1 < length ? in[i + 1] << 8 : 0);
        o[0] = kDigits[v >> 18];
        o[1] = kDigits[v >> 12 & 63];
        o[2] = i + 1 < length ? kDigits[v >> 6 & 63] : '=';
        o[3] = '=';
    }
}

}  // namespace host
