// One plug-in instance per embed element: the NPAPI side of a page instance. It owns the
// core's PageInstance, gives it the browser's main thread (NPN_PluginThreadAsyncCall) and
// holds what only the browser binding knows: the window, the scriptable object, the page's
// window object and the member table by browser identifier.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "plugin/ScriptHandler.h"
#include "plugin/npapi.h"
#include "script/PageThread.h"
#include "threading/MsgQueue.h"

class PageInstance;

class CPlugin : public script::PageThread {
  public:
    explicit CPlugin(NPP npp);
    ~CPlugin() override;
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    // Window lifecycle: the first window starts the graphics session.
    bool AttachWindow(NPWindow* window);
    void DetachWindow();
    bool IsAttached() const { return attached_; }
    int16_t HandleEvent(void* event);

    // The instance's scriptable object, retained once more for the caller.
    NPObject* GetScriptObject();

    // The interface's members by browser identifier.
    const ScriptHandler* FindMethod(NPIdentifier name) const;
    const ScriptHandler* FindProperty(NPIdentifier name) const;

    // Queues an event text and asks the browser for a main-thread delivery. Any thread.
    void PostEvent(const std::string& text);
    // Delivers the queued texts to the page event callback, in order. Main thread.
    void DeliverEvents();
    // The browser's main thread, for the core. Any thread.
    void PostCall(void (*call)(void* data), void* data) override;

    NPP npp() const { return npp_; }
    NPObject* windowObject() const { return window_object_; }
    uint64_t serial() const { return serial_; }
    const boost::shared_ptr<MsgQueue>& eventQueue() const;
    PageInstance& page() { return *page_; }

    // The paste command: the most useful form the clipboard offers.
    bool HasData();
    void Paste();

  private:
    void RegisterMembers();
    // The page window's location.href as the browser reports it; empty when it gives none.
    std::string PageLocation() const;

    NPP npp_;
    NPWindow* window_ = nullptr;
    bool attached_ = false;
    NPObject* scriptObject_ = nullptr;
    NPObject* window_object_ = nullptr;
    uintptr_t graphicsToken_ = 0;
    ScriptRegistry methods_;
    ScriptRegistry properties_;
    std::unique_ptr<PageInstance> page_;
    uint64_t serial_ = 0;
};
