// The length of a packed device-independent bitmap (a CF_DIB block: header, colour masks,
// colour table, pixels) as its header describes it. The global memory block that carries one
// may be larger than the bitmap; the length tells where the bitmap really ends.
#pragma once

#include <cstddef>

namespace platform {
namespace win32 {

// 0 when the header is too short, malformed or of a kind whose length it does not give.
size_t PackedDibLength(const unsigned char* block, size_t size);

}  // namespace win32
}  // namespace platform
