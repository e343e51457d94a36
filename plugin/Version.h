// The plug-in's name, description, MIME type and version as the browser and the page see them.
#pragma once

#include "core/Version.h"

extern const char kPluginName[];
// "Quillon图片上传控件" in the GBK bytes the browser is given.
extern const char kPluginDescription[];
extern const char kMimeType[];
// The Unix MIME description: "type:extensions:description".
extern const char kMimeDescription[];
