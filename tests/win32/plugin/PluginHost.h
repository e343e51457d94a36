// What every plug-in test on Windows shares: one test browser that loaded npQuillon.dll from
// the test program's folder, a page with an instance whose "StateChanged" records the events,
// and the upload server the test run started (its address and folder come from the
// environment: QUILLON_UPLOAD_URL, QUILLON_UPLOAD_DIR).
#pragma once

#include <json/value.h>

#include <string>
#include <vector>

#include "TestHost.h"

namespace wintest {

// The browser, with the module loaded and initialized the Windows way; null when loading
// failed (the reason is printed once).
testhost::TestHost* Host();

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();
// An environment variable as UTF-8; "" when unset.
std::string Environment(const char* name);
// A new empty folder under the temporary folder, with a trailing backslash.
std::wstring FreshFolder(const std::wstring& name);

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);

// One embed element on a page, attached to a real (hidden) window, whose events go to a
// recording page function.
class Page {
  public:
    Page();
    ~Page();
    bool ok() const { return instance_ != nullptr; }
    testhost::Instance& plugin() { return *instance_; }

    // The events received so far, parsed; those named `name` only when given.
    std::vector<Json::Value> Events(const std::string& name = "") const;
    // The raw event texts in order.
    std::vector<std::string> EventTexts() const { return events_.StringArgs(); }
    // Pumps the browser until `count` events named `name` arrived (or `seconds` passed).
    bool WaitFor(const std::string& name, size_t count = 1, int seconds = 60);

    // Uploads `source` through a new upload entry, the way pages do; returns the entry's id.
    std::string Upload(const std::string& source, int idLoc, const std::string& width = "0",
                       const std::string& height = "0");

  private:
    testhost::Instance* instance_ = nullptr;
    testhost::PageFunction events_;
    void* window_ = nullptr;
};

// The upload server's address for posts, and its folder (where posted files are stored).
std::string UploadUrl();
std::wstring UploadFolder();

}  // namespace wintest
