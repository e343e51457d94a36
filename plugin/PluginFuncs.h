// The plug-in side of the NPAPI function tables and the entry-point logic shared by the
// exported functions of every platform.
#pragma once

#include "plugin/npapi.h"

#include <cstddef>

// Writes the version (27) and the function slots of the plug-in function table, at most
// `limit` bytes from the table's start; a null table gives NPERR_INVALID_FUNCTABLE_ERROR.
NPError FillPluginFuncs(NPPluginFuncs* funcs, size_t limit = sizeof(NPPluginFuncs));
// Keeps the browser's table; a null table or a major version above 0 fails.
NPError InitializeBrowserFuncs(NPNetscapeFuncs* funcs);
