// Local picture addresses as Word writes them ("file:///C:/Users/.../clip_image001.png",
// "file://server/share/x.png") turned into paths; util/PathText.h gives their file names and
// extensions.
#pragma once

#include <string>

#include "util/PathText.h"  // FileNameOf, ExtensionOf

// The path of a picture address: every "file:///" and then every "file://" removed. The root
// of an absolute POSIX path stays: "file:///home/ann/x.png" gives "/home/ann/x.png", while
// "file:///C:/x.png" gives "C:/x.png".
std::string StripFileScheme(const std::string& src);

// The path to open for reading a picture: only "file:///" is removed (same root rule).
std::string LocalFilePath(const std::string& src);
