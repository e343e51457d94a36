// The paths of a CF_HDROP block (a DROPFILES header and a list of NUL-terminated names ended
// by an empty one, wide or ANSI).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace platform {
namespace win32 {

// The number of names when the block is a DROPFILES header whose name list ends inside the
// block. The shell's DragQueryFile trusts the list to end (and does not agree everywhere on
// what an empty list counts as), so a block is only handed to it after this.
bool CountDropFiles(const unsigned char* block, size_t size, size_t& count);

// The paths, in list order, read with DragQueryFileW (ANSI names come converted from the
// system code page). False when the block is malformed or lists no file.
bool ReadDropFiles(HGLOBAL block, size_t maxBytes, std::vector<std::wstring>& paths);

}  // namespace win32
}  // namespace platform
