// The platform's code-page conversion (iconv on Linux). The "ANSI code page" is a process
// setting: by default the code set of the environment's locale, changeable for callers that
// need the Windows behaviour (for example "GBK").
#pragma once

#include <string>

namespace platform {

// The iconv name of the ANSI code page currently in use ("UTF-8", "GBK", ...).
std::string AnsiCodePage();
// Replaces the ANSI code page; an empty name restores the locale's code set.
void SetAnsiCodePage(const std::string& codeSet);

// Bytes in `codeSet` to wide text. Invalid input bytes become U+FFFD.
std::wstring MultiByteToWide(const std::string& bytes, const std::string& codeSet);
// Wide text to bytes in `codeSet`. Characters the code set lacks become '?'.
std::string WideToMultiByte(const std::wstring& text, const std::string& codeSet);

// A wide path as the file system's narrow calls take it (UTF-8 on Linux).
std::string NativePath(const std::wstring& path);

}  // namespace platform
