// A long message text goes to the extension packed: its zlib stream (RFC 1950) cut into parts
// {"type":"packed","seq":S,"index":i,"count":n,"data":"BASE64"}; the extension joins the
// decoded bytes of the parts in index order and inflates them back to the message text.
// Every stage of the browser's native messaging (the pipe, its JSON parse, the hand-over to
// the frame) costs per byte, and the HTML of a paste shrinks about tenfold.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// Message texts up to this length go out as they are.
constexpr size_t kPackAbove = 64 * 1024;
// Compressed bytes per part: 800 000 characters of base64, well under the browser's 1 MB.
constexpr size_t kPackedPartBytes = 600 * 1000;

// The zlib stream of the text at the fastest level; false only when zlib has no memory.
bool Deflate(const std::string& text, std::string& stream);

// Standard base64 with padding.
void AppendBase64(const char* bytes, size_t length, std::string& out);

}  // namespace host
