// The clipboard's CF_HTML layout: a header of "Key:value" lines with byte offsets, then the
// HTML document with its copied part between fragment comments.
#pragma once

#include <string>

// Wraps a plain HTML document as "HTML Format" data: adds the fragment comments around the
// body's content when the document has none, and a header with correct offsets whose
// SourceURL: names `sourceUrl`.
std::string WrapCfHtml(const std::string& html, const std::string& sourceUrl);
