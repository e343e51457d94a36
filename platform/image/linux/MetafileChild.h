// Metafile playback in a child process (Linux). The players are third-party libraries with no
// bound of their own on memory, time or bad records; a fault in one must cost one picture,
// not the browser that hosts the plug-in. The renderer program (npquillon-metafile, built and
// installed beside the plug-in module) is started with fork and exec under an address-space
// and a CPU-time limit, given the metafile in a memory file and read back through a pipe
// under a wall-clock deadline, after which it is killed. Its answer is checked against the
// canvas size the caller expects before a byte of it is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image/Bitmap.h"
#include "platform/image/linux/MetafileRendererProtocol.h"

namespace platform {
namespace image {

// The renderer program's file name beside the module.
extern const char kMetafileRendererName[];
// Names another renderer program (tests, tools run from elsewhere).
extern const char kMetafileRendererVariable[];

struct RendererOptions {
    std::string program;                 // the renderer's path
    uint32_t deadlineMs = 15000;         // start to exit, playback's own budget included
    uint64_t addressSpace = 1ull << 30;  // RLIMIT_AS (not applied in sanitizer builds)
    uint32_t cpuSeconds = 12;            // RLIMIT_CPU
};

// The renderer beside the loaded module (or named by kMetafileRendererVariable) and the
// default limits.
RendererOptions DefaultRendererOptions();

// Draws the metafile in the renderer; `width` x `height` is the canvas the answer must have
// (a WMF's asked size, an EMF's EmfCanvasSize). False and `out` empty when the renderer is
// missing, fails, dies, overruns its deadline or answers anything but that canvas; then
// `failure`, when given, says which (and is empty when the data was refused before playback).
bool RenderInChild(MetafileKind kind, const uint8_t* data, size_t size, uint32_t width,
                   uint32_t height, const RendererOptions& options, Bitmap& out,
                   std::string* failure = nullptr);

}  // namespace image
}  // namespace platform
