// One plug-in instance per embed element: its script members, its event queue and the
// components behind the member families.
#pragma once

#include <boost/shared_array.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "plugin/npapi.h"
#include "plugin/ScriptHandler.h"
#include "threading/MsgQueue.h"
#include "threading/sigslot.h"

class CImagePaster;
class CxMemFile;
class UploaderTable;
class WinINetPoster;
class WordConverter;
class WordParser;

class CPlugin : public sigslot::has_slots<> {
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

    // Script member registries.
    void RegisterMethod(const char* name, const ScriptHandler& handler);
    void RegisterProperty(const char* name, const ScriptHandler& handler);
    const ScriptHandler* FindMethod(NPIdentifier name) const;
    const ScriptHandler* FindProperty(NPIdentifier name) const;

    // Queues an event text and asks the browser for a main-thread delivery. Any thread.
    void PostEvent(const std::string& text);
    // Delivers the queued texts to the page event callback, in order. Main thread.
    void DeliverEvents();

    NPP npp() const { return npp_; }
    NPObject* windowObject() const;
    uint64_t serial() const { return serial_; }
    const boost::shared_ptr<MsgQueue>& eventQueue() const { return eventQueue_; }

    // The paste command: the most useful form the clipboard offers.
    bool HasData();
    void Paste();

  private:
    void RegisterMembers();

    bool PasteBitmap();
    void PasteDib();
    void PasteFiles();
    void PasteWord();
    // Announces the upload of one encoded image and starts it on the instance's poster.
    void StartImageUpload(const boost::shared_array<char>& bytes, uint32_t size,
                          const std::wstring& extension);

    // Slots of the instance's poster; they run on its threads.
    void OnPostComplete();
    void OnPostError(unsigned int code);
    void OnPostProgress(unsigned long bytes);

    // Members of this instance's own (the general ones).
    void Version(const NPVariant* in, NPVariant* out);
    void Init(const NPVariant* in, NPVariant* out);
    void Session(const NPVariant* in, NPVariant* out);
    void Debug(const NPVariant* in, NPVariant* out);
    void LogFile(const NPVariant* in, NPVariant* out);
    void StateChanged(const NPVariant* in, NPVariant* out);
    void HasDataMember(const NPVariant* in, NPVariant* out);
    void PasteMember(const NPVariant* in, NPVariant* out);

    NPP npp_;
    NPWindow* window_ = nullptr;
    bool attached_ = false;
    NPObject* scriptObject_ = nullptr;
    NPObject* eventCallback_ = nullptr;
    bool debug_ = false;
    std::string logFilePath_;
    std::unique_ptr<UploaderTable> uploaders_;
    ScriptRegistry methods_;
    ScriptRegistry properties_;
    std::unique_ptr<WordParser> wordParser_;
    std::unique_ptr<CImagePaster> imagePaster_;
    std::unique_ptr<WordConverter> converter_;
    std::unique_ptr<CxMemFile> memFile_;
    NPObject* window_object_ = nullptr;
    uintptr_t graphicsToken_ = 0;
    std::unique_ptr<WinINetPoster> poster_;
    boost::shared_ptr<MsgQueue> eventQueue_;
    // Cleared at destruction; a delivery in progress checks it after every page call, since
    // the page may destroy the instance from inside its event callback.
    boost::shared_ptr<bool> alive_;
    uint64_t serial_ = 0;
};
