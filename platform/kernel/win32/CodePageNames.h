// Code-set names as the Linux build spells them ("GBK", "UTF-8", "CP1252", "ISO-8859-1") and
// the Windows code page numbers they stand for.
#pragma once

#include <string>

namespace platform {

// The Windows code page of a code-set name, case-insensitive: the common names, "CPnnn",
// "WINDOWS-nnn" and "IBMnnn"; 65001 for UTF-8; 0 for an empty or unknown name.
unsigned CodePageNumber(const std::string& codeSet);

// The name that CodePageNumber maps back to `codePage` ("UTF-8" for 65001, "GBK" for 936,
// otherwise "CPnnn").
std::string CodeSetName(unsigned codePage);

}  // namespace platform
