#include "core/Version.h"

const char kScriptVersion[] = "1,4,102,31478";
