#include "plugin/Version.h"

const char kPluginName[] = "npQuillon";
// "Quillon" followed by the GBK bytes of 图片上传控件.
const char kPluginDescription[] = "Quillon\xCD\xBC\xC6\xAC\xC9\xCF\xB4\xAB\xBF\xD8\xBC\xFE";
const char kMimeType[] = "application/npQuillon";
const char kMimeDescription[] = "application/npQuillon::Quillon picture upload control";
