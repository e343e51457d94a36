// Local picture addresses as Word writes them ("file:///C:/Users/.../clip_image001.png",
// "file://server/share/x.png") and the parts of a path the page is told about.
#pragma once

#include <string>

// The path of a picture address: every "file:///" and then every "file://" removed. The root
// of an absolute POSIX path stays: "file:///home/ann/x.png" gives "/home/ann/x.png", while
// "file:///C:/x.png" gives "C:/x.png".
std::string StripFileScheme(const std::string& src);

// The path to open for reading a picture: only "file:///" is removed (same root rule).
std::string LocalFilePath(const std::string& src);

// The file name: the text behind the last "\", "/" or ":" that is not the last character.
std::string FileNameOf(const std::string& path);

// The extension with its dot: from the last "." of the file name; "" when there is none.
std::string ExtensionOf(const std::string& path);
