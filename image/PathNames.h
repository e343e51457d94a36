// Path pieces as the shell's path functions give them: the extension (from the last dot of
// the file name, empty when there is none), the file name, and the root and directory tests
// used when copied file lists are read.
#pragma once

#include <string>

// The text from the last "." of the last path component to the end; empty when the
// component has no dot or a blank follows its last dot.
std::string FindPathExtension(const std::string& path);
std::wstring FindPathExtension(const std::wstring& path);
// The last path component (after the last "\" or "/").
std::wstring FindPathFileName(const std::wstring& path);
// A root: "/", "\", a drive root such as "C:\" or "C:/", or a bare UNC "\\server[\share]".
bool IsRootPath(const std::wstring& path);
// Whether the path names an existing directory.
bool IsDirectoryPath(const std::wstring& path);
