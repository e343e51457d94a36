// The "HTML Format" clipboard layout built from a plain HTML document: a header of key and
// value lines with the byte offsets of the document and of the copied fragment, then the
// document with its fragment bracketed by comment markers.
#pragma once

#include <string>

namespace platform {

// Wraps a UTF-8 HTML document. Existing "<!--StartFragment-->"/"<!--EndFragment-->" markers
// are kept; otherwise they are put around the body's content (or around the whole text when
// it has no body, which is then given one). `sourceUrl` becomes the "SourceURL:" line when
// not empty.
std::string WrapCfHtml(const std::string& html, const std::string& sourceUrl);

}  // namespace platform
