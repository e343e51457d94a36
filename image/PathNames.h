// The root and directory tests used when copied file lists are read; the file name and
// extension of a path are in util/PathText.h.
#pragma once

#include <string>

#include "util/PathText.h"  // ExtensionOf, FindPathFileName

// A root: "/", "\", a drive root such as "C:\" or "C:/", or a bare UNC "\\server[\share]".
bool IsRootPath(const std::wstring& path);
// Whether the path names an existing directory.
bool IsDirectoryPath(const std::wstring& path);
