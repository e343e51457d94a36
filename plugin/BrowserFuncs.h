// The browser's function table, kept by pointer as the browser handed it over, and the thin
// wrappers through which the rest of the plug-in calls the browser.
#pragma once

#include "plugin/npapi.h"

void SetBrowserFuncs(NPNetscapeFuncs* funcs);
NPNetscapeFuncs* BrowserFuncs();

void* NPN_MemAlloc(uint32_t size);
void NPN_MemFree(void* ptr);
NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value);
NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value);
NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name);
NPObject* NPN_CreateObject(NPP npp, NPClass* aClass);
NPObject* NPN_RetainObject(NPObject* obj);
void NPN_ReleaseObject(NPObject* obj);
bool NPN_Invoke(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args,
                uint32_t argCount, NPVariant* result);
bool NPN_InvokeDefault(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount,
                       NPVariant* result);
bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result);
void NPN_ReleaseVariantValue(NPVariant* variant);
// The only browser function that may be called from any thread.
void NPN_PluginThreadAsyncCall(NPP instance, void (*func)(void*), void* userData);
