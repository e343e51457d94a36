// Playback of Windows metafiles into in-memory pictures: WMF (placeable or not) through
// libwmf, EMF through an SVG translation drawn by librsvg. Both draw on white.
//
// Limits: metafiles above kMaxMetafileBytes or kMaxMetafileRecords records are refused; the
// record chain is walked first, so a record that overruns the data or cannot advance is
// refused before playback; playback stops after kMetafileTimeBudgetMs; the player's own
// allocations stop at kMaxPlayerMemory; canvases follow the picture size limits of Bitmap.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image/Bitmap.h"

namespace platform {
namespace image {

const size_t kMaxMetafileBytes = 64u << 20;
const uint32_t kMaxMetafileRecords = 1000000;
const uint32_t kMetafileTimeBudgetMs = 10000;
const size_t kMaxPlayerMemory = 512u << 20;

// A placeable WMF starts with this key and a header of this size before the WMF header.
const uint32_t kPlaceableWmfKey = 0x9AC6CDD7u;
const size_t kPlaceableWmfHeaderSize = 22;

// Draws the WMF stretched to width x height on an opaque white canvas. False and empty when
// the data is not a playable WMF, the size is 0 or above the limits, or playback fails.
// `failure`, when given, is set to why the player failed (the Linux renderer process's
// fault: missing, killed, a wrong answer) and left empty when the data itself was refused or
// the platform's player gives no reason.
bool RenderWmf(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Bitmap& out,
               std::string* failure = nullptr);
// Draws the EMF at its natural size (its frame at 96 pixels per inch, scaled down to fit the
// picture limits) on an opaque white canvas.
bool RenderEmf(const uint8_t* data, size_t size, Bitmap& out, std::string* failure = nullptr);

// Whether the data is a WMF or an EMF whose records chain correctly to the end (see above).
bool IsWellFormedWmf(const uint8_t* data, size_t size);
bool IsWellFormedEmf(const uint8_t* data, size_t size);

// The canvas an EMF is drawn on: a well-formed EMF's natural size fitted to the picture limits.
// False when the EMF is not well formed or has no usable size.
bool EmfCanvasSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);

}  // namespace image
}  // namespace platform
