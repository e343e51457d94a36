// The module's exported entry points.
#include "plugin/npapi.h"
#include "plugin/PluginFuncs.h"
#include "plugin/Version.h"

NP_EXPORT(NPError) NP_GetEntryPoints(NPPluginFuncs* funcs) {
    return FillPluginFuncs(funcs);
}

#if defined(_WIN32)
NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* browserFuncs) {
    return InitializeBrowserFuncs(browserFuncs);
}
#else
// Unix hosts hand over both tables here and never call NP_GetEntryPoints.
NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* browserFuncs, NPPluginFuncs* pluginFuncs) {
    const NPError result = InitializeBrowserFuncs(browserFuncs);
    if (result != NPERR_NO_ERROR || !pluginFuncs) return result;
    return FillPluginFuncs(pluginFuncs, pluginFuncs->size);
}

NP_EXPORT(const char*) NP_GetMIMEDescription() {
    return kMimeDescription;
}

NP_EXPORT(NPError) NP_GetValue(void*, NPPVariable variable, void* value) {
    if (!value) return NPERR_INVALID_PARAM;
    switch (variable) {
        case NPPVpluginNameString:
            *static_cast<const char**>(value) = kPluginName;
            return NPERR_NO_ERROR;
        case NPPVpluginDescriptionString:
            *static_cast<const char**>(value) = kPluginDescription;
            return NPERR_NO_ERROR;
        default:
            return NPERR_INVALID_PARAM;
    }
}
#endif

NP_EXPORT(NPError) NP_Shutdown() {
    return NPERR_NO_ERROR;
}
