// One page instance of the interface (one per embed element in the plug-in, one per native
// host process in the bridge): the components behind the member families, the paste command,
// the process settings' members and the queue of event texts to the page. Every member of
// the interface (core/MemberTable.h) runs on it. It knows nothing of the binding that carries
// it: calls to the page go through script object handles, and the binding's page thread runs
// the deliveries.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "config/Policy.h"
#include "core/PagePolicy.h"
#include "script/EventSink.h"
#include "script/PageThread.h"
#include "script/ScriptObject.h"
#include "threading/MsgQueue.h"
#include "threading/sigslot.h"
#include "util/SharedBuffer.h"

class CImagePaster;
class CxMemFile;
class PastedFiles;
class UploaderTable;
class WinINetPoster;
class WordConverter;
class WordParser;

class PageInstance : public script::EventSink, public sigslot::has_slots<> {
  public:
    // The page thread outlives the instance.
    explicit PageInstance(script::PageThread& pageThread);
    ~PageInstance() override;
    PageInstance(const PageInstance&) = delete;
    PageInstance& operator=(const PageInstance&) = delete;

    // Queues an event text and posts its delivery to the page's thread. Any thread.
    void PostEvent(std::string text) override;
    // Delivers the queued texts to the page's event callback, in order. Page thread.
    void DeliverEvents();

    uint64_t serial() const { return serial_; }
    const boost::shared_ptr<MsgQueue>& eventQueue() const { return eventQueue_; }
    script::PageThread& pageThread() { return pageThread_; }

    // The paste command: the most useful form the clipboard offers.
    bool HasData();
    void Paste();

    // The components the member families run on.
    WordParser& wordParser() { return *wordParser_; }
    CImagePaster& imagePaster() { return *imagePaster_; }
    UploaderTable& uploaders() { return *uploaders_; }

    // The instance's own settings members.
    void SetEventCallback(script::ObjectHandle callback) { eventCallback_ = std::move(callback); }
    void SetDebug(bool debug) { debug_ = debug; }
    // Starts the log in that file, with the debug setting as it stands.
    void SetLogFile(const std::string& path);

    // The administrator's policy for this instance and the page origin the binding learned
    // from the browser; the binding applies it once, before the page's first call. Until
    // then (and in a binding that never applies one) the plug-in's open defaults hold. With
    // "local_files": "pasted" the instance records what its pastes report
    // (core/PastedFiles.h), and an upload entry may send only those local files.
    void ApplyPolicy(config::Policy rules, const std::string& pageOrigin);
    const PagePolicy& policy() const { return policy_; }
    // Null unless "local_files" is "pasted".
    PastedFiles* pastedFiles() { return pastedFiles_.get(); }

  private:
    bool PasteBitmap();
    void PasteDib();
    void PasteFiles();
    void PasteWord();
    // The policy's upload checks for the image paster (CImagePaster::UploadCheck).
    bool MayPasterUpload(const std::wstring& path, int64_t bytes) const;
    // Announces the upload of one encoded image and starts it on the instance's poster.
    void StartImageUpload(const util::SharedBuffer& jpeg, const std::wstring& extension);

    // Slots of the instance's poster; they run on its threads.
    void OnPostComplete();
    void OnPostError(unsigned int code);
    void OnPostProgress(unsigned long bytes);

    script::PageThread& pageThread_;
    uint64_t serial_ = 0;
    script::ObjectHandle eventCallback_;
    bool debug_ = false;
    std::string logFilePath_;
    std::unique_ptr<UploaderTable> uploaders_;
    std::unique_ptr<WordParser> wordParser_;
    std::unique_ptr<CImagePaster> imagePaster_;
    std::unique_ptr<WordConverter> converter_;
    std::unique_ptr<CxMemFile> memFile_;
    std::unique_ptr<WinINetPoster> poster_;
    std::unique_ptr<PastedFiles> pastedFiles_;
    PagePolicy policy_;
    boost::shared_ptr<MsgQueue> eventQueue_;
    // Cleared at destruction; a delivery in progress checks it after every page call, since
    // the page may destroy the instance from inside its event callback.
    boost::shared_ptr<bool> alive_;
};
