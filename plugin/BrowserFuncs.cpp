#include "plugin/BrowserFuncs.h"

#include <atomic>

namespace {

// Written on the main thread at initialisation, read by worker threads for async calls.
std::atomic<NPNetscapeFuncs*> g_browser{nullptr};

// A wrapper whose slot the browser left empty fails like the call it stands for.
template <class Fn>
Fn Slot(Fn NPNetscapeFuncs::*member) {
    NPNetscapeFuncs* funcs = g_browser.load();
    return funcs ? funcs->*member : nullptr;
}

}  // namespace

void SetBrowserFuncs(NPNetscapeFuncs* funcs) {
    g_browser.store(funcs);
}
NPNetscapeFuncs* BrowserFuncs() {
    return g_browser.load();
}

void* NPN_MemAlloc(uint32_t size) {
    auto fn = Slot(&NPNetscapeFuncs::memalloc);
    return fn ? fn(size) : nullptr;
}

void NPN_MemFree(void* ptr) {
    auto fn = Slot(&NPNetscapeFuncs::memfree);
    if (fn) fn(ptr);
}

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
    auto fn = Slot(&NPNetscapeFuncs::getvalue);
    return fn ? fn(instance, variable, value) : NPERR_GENERIC_ERROR;
}

NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value) {
    auto fn = Slot(&NPNetscapeFuncs::setvalue);
    return fn ? fn(instance, variable, value) : NPERR_GENERIC_ERROR;
}

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) {
    auto fn = Slot(&NPNetscapeFuncs::getstringidentifier);
    return fn ? fn(name) : nullptr;
}

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) {
    auto fn = Slot(&NPNetscapeFuncs::createobject);
    return fn ? fn(npp, aClass) : nullptr;
}

NPObject* NPN_RetainObject(NPObject* obj) {
    auto fn = Slot(&NPNetscapeFuncs::retainobject);
    return fn && obj ? fn(obj) : obj;
}

void NPN_ReleaseObject(NPObject* obj) {
    auto fn = Slot(&NPNetscapeFuncs::releaseobject);
    if (fn && obj) fn(obj);
}

bool NPN_Invoke(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args,
                uint32_t argCount, NPVariant* result) {
    auto fn = Slot(&NPNetscapeFuncs::invoke);
    return fn && obj ? fn(npp, obj, methodName, args, argCount, result) : false;
}

bool NPN_InvokeDefault(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount,
                       NPVariant* result) {
    auto fn = Slot(&NPNetscapeFuncs::invokeDefault);
    return fn && obj ? fn(npp, obj, args, argCount, result) : false;
}

bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result) {
    auto fn = Slot(&NPNetscapeFuncs::getproperty);
    return fn ? fn(npp, obj, propertyName, result) : false;
}

void NPN_ReleaseVariantValue(NPVariant* variant) {
    auto fn = Slot(&NPNetscapeFuncs::releasevariantvalue);
    if (fn && variant) fn(variant);
}

void NPN_PluginThreadAsyncCall(NPP instance, void (*func)(void*), void* userData) {
    auto fn = Slot(&NPNetscapeFuncs::pluginthreadasynccall);
    if (fn) fn(instance, func, userData);
}
