// Copied file lists of desktop clipboards: "text/uri-list" (one address a line, "#" lines
// are comments) and "x-special/gnome-copied-files" (a "copy" or "cut" line, then addresses).
#pragma once

#include <string>
#include <vector>

namespace platform {

// The local paths of the list's file:// addresses, percent-decoded, in list order. Other
// schemes, other hosts and names that are not UTF-8 are skipped.
std::vector<std::wstring> FilePathsFromUriList(const std::string& text, bool gnomeCopiedFiles);

}  // namespace platform
