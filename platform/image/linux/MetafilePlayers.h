// The metafile players run in the calling process (Linux). The plug-in reaches them only
// through the renderer program (MetafileChild.h), which runs them in a child process; the
// renderer itself and the fuzz targets call them directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image/Bitmap.h"

namespace platform {
namespace image {

// The players behind RenderWmf and RenderEmf (Metafile.h), with the same results.
bool PlayWmf(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Bitmap& out);
bool PlayEmf(const uint8_t* data, size_t size, Bitmap& out);

}  // namespace image
}  // namespace platform
