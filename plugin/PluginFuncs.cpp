#include "plugin/PluginFuncs.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "plugin/BrowserFuncs.h"
#include "plugin/CPlugin.h"
#include "plugin/Version.h"

namespace {

CPlugin* InstanceOf(NPP instance) {
    return static_cast<CPlugin*>(instance->pdata);
}

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t, char*[], char*[], NPSavedData*) {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    CPlugin* plugin = new (std::nothrow) CPlugin(instance);
    if (!plugin) return NPERR_OUT_OF_MEMORY_ERROR;
    instance->pdata = plugin;
#if !defined(_WIN32)
    // Windowless: Linux hosts then send a window record with a null handle.
    NPN_SetValue(instance, NPPVpluginWindowBool, nullptr);
#endif
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (CPlugin* plugin = InstanceOf(instance)) {
        plugin->DetachWindow();
        delete plugin;
        instance->pdata = nullptr;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (!window) return NPERR_GENERIC_ERROR;
    CPlugin* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_GENERIC_ERROR;
#if defined(_WIN32)
    const bool usable = window->window != nullptr;
#else
    // A windowless instance gets its window record with a null handle.
    const bool usable = true;
#endif
    if (!plugin->IsAttached() && usable && !plugin->AttachWindow(window)) {
        delete plugin;
        instance->pdata = nullptr;
        return NPERR_MODULE_LOAD_FAILED_ERROR;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16_t*) {
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) {}

int32_t NPP_WriteReady(NPP instance, NPStream*) {
    return instance ? 0x0FFFFFFF : NPERR_INVALID_INSTANCE_ERROR;
}

int32_t NPP_Write(NPP instance, NPStream*, int32_t, int32_t len, void*) {
    return instance ? len : NPERR_INVALID_INSTANCE_ERROR;
}

void NPP_Print(NPP, NPPrint*) {}

int16_t NPP_HandleEvent(NPP instance, void* event) {
    if (!instance || !InstanceOf(instance)) return 0;
    return InstanceOf(instance)->HandleEvent(event);
}

void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    CPlugin* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_GENERIC_ERROR;
    switch (variable) {
        case NPPVpluginNameString:
            *static_cast<const char**>(value) = kPluginName;
            return NPERR_NO_ERROR;
        case NPPVpluginDescriptionString:
            *static_cast<const char**>(value) = kPluginDescription;
            return NPERR_NO_ERROR;
        case NPPVpluginScriptableNPObject:
            *static_cast<NPObject**>(value) = plugin->GetScriptObject();
            return NPERR_NO_ERROR;
        default:
            return NPERR_GENERIC_ERROR;
    }
}

NPError NPP_SetValue(NPP instance, NPNVariable, void*) {
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

}  // namespace

NPError FillPluginFuncs(NPPluginFuncs* funcs, size_t limit) {
    if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
    NPPluginFuncs table{};
    table.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    table.newp = NPP_New;
    table.destroy = NPP_Destroy;
    table.setwindow = NPP_SetWindow;
    table.newstream = NPP_NewStream;
    table.destroystream = NPP_DestroyStream;
    table.asfile = NPP_StreamAsFile;
    table.writeready = NPP_WriteReady;
    table.write = NPP_Write;
    table.print = NPP_Print;
    table.event = NPP_HandleEvent;
    table.urlnotify = NPP_URLNotify;
    table.javaClass = nullptr;
    table.getvalue = NPP_GetValue;
    table.setvalue = NPP_SetValue;
    // The size field stays the browser's; every member after it that fits in `limit` bytes
    // is written, so a browser with a shorter table is never written past its end.
    const size_t end = std::min(limit, offsetof(NPPluginFuncs, setvalue) + sizeof(table.setvalue));
    const size_t begin = offsetof(NPPluginFuncs, version);
    if (end > begin)
        std::memcpy(reinterpret_cast<char*>(funcs) + begin, reinterpret_cast<char*>(&table) + begin,
                    end - begin);
    return NPERR_NO_ERROR;
}

NPError InitializeBrowserFuncs(NPNetscapeFuncs* funcs) {
    if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
    if ((funcs->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    SetBrowserFuncs(funcs);
    return NPERR_NO_ERROR;
}
