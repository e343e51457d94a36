// The clipboard's "HTML Format" data (CF_HTML layout), read on the caller's side of the
// conversion: the pipeline (Office/WordPipeline.h) is given the text.
#pragma once

#include <cstddef>
#include <string>

// 64 MiB: many times the largest real Word or Excel copy (a few MiB with hundreds of pictures,
// which travel as file names), and small enough that the text, its tree and its working copies
// fit a 32-bit browser process's 2 GiB.
constexpr size_t kMaxClipboardHtmlBytes = size_t{64} << 20;

// Whether the clipboard now in use offers "HTML Format" (reads nothing).
bool ClipboardHasHtml();
// The "HTML Format" bytes up to the first NUL. False, leaving `html` alone, when there are
// none, when they are larger than kMaxClipboardHtmlBytes or there is no memory to read them
// (both logged).
bool ReadClipboardHtml(std::string& html);
