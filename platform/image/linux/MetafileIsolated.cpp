// RenderWmf and RenderEmf on Linux: checked here, drawn by the renderer program in a child
// process (MetafileChild.h), so that a player fault costs one picture.
#include "platform/image/Metafile.h"
#include "platform/image/linux/MetafileChild.h"

namespace platform {
namespace image {

bool RenderWmf(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Bitmap& out,
               std::string* failure) {
    out = Bitmap();
    if (failure) failure->clear();
    if (!IsAcceptableSize(width, height) || !IsWellFormedWmf(data, size)) return false;
    return RenderInChild(MetafileKind::kWmf, data, size, width, height, DefaultRendererOptions(),
                         out, failure);
}

bool RenderEmf(const uint8_t* data, size_t size, Bitmap& out, std::string* failure) {
    out = Bitmap();
    if (failure) failure->clear();
    uint32_t width = 0, height = 0;
    if (!EmfCanvasSize(data, size, width, height)) return false;
    return RenderInChild(MetafileKind::kEmf, data, size, width, height, DefaultRendererOptions(),
                         out, failure);
}

}  // namespace image
}  // namespace platform
