// What the plug-in and its metafile renderer program exchange. The request (the renderer's
// standard input) is this header and the metafile; the answer (its standard output) is the
// answer header and width x height BGRA pixels, top row first. A renderer that fails writes
// nothing and exits with a non-zero status.
#pragma once

#include <cstdint>

namespace platform {
namespace image {

enum class MetafileKind : uint32_t { kWmf = 1, kEmf = 2 };

const uint32_t kRendererRequestMagic = 0x31524D51u;  // "QMR1"
const uint32_t kRendererAnswerMagic = 0x31414D51u;   // "QMA1"

struct RendererRequest {
    uint32_t magic;
    uint32_t kind;   // MetafileKind
    uint32_t width;  // the canvas of a WMF; an EMF is drawn at its natural size
    uint32_t height;
    uint64_t size;  // metafile bytes that follow
};

struct RendererAnswer {
    uint32_t magic;
    uint32_t width;
    uint32_t height;
    uint32_t reserved;
};

}  // namespace image
}  // namespace platform
