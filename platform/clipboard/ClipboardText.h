// Text targets of desktop clipboards as the CF_HTML side needs them: some programs offer
// HTML or addresses as UTF-16 with a byte-order mark, others as UTF-8 with trailing NULs.
#pragma once

#include <string>

namespace platform {

// The text as UTF-8: a UTF-16 text (byte-order mark, or NUL high bytes throughout) is
// converted, a UTF-8 byte-order mark dropped, and the text ends at its first NUL.
std::string ClipboardTextToUtf8(const std::string& bytes);
// The first line of an address target (UTF-8 or UTF-16), white space trimmed.
std::string FirstLineOfText(const std::string& bytes);

}  // namespace platform
