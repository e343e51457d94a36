// Pieces of a path or of a picture address, taken from its text alone.
#pragma once

#include <string>

// The extension with its dot: from the last "." of the last component to the end; empty when
// the component has no dot or a blank follows its last dot ("\", "/" and a blank end it).
std::string ExtensionOf(const std::string& path);
std::wstring ExtensionOf(const std::wstring& path);

// The file name as the shell's path functions give it: the text behind the last "\" or "/"
// that is not the last character.
std::wstring FindPathFileName(const std::wstring& path);

// The file name of a picture address as Word writes it: the text behind the last "\", "/" or
// ":" (a drive: "C:x.png" gives "x.png") that is not the last character; a separator right
// before another one does not count, so a trailing run of separators stays in the name.
std::string FileNameOf(const std::string& path);
