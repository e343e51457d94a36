// The paster tests drive a real plug-in instance through the test browser host, with the
// in-memory clipboard and a loopback upload server.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "InProcessPlugin.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace httplib {
class Server;
}

namespace pastertest {

const std::chrono::milliseconds kWait(20000);

// One multipart upload as the server parsed it.
struct ReceivedUpload {
    std::string fileName;
    std::string content;
    std::map<std::string, std::string> fields;
};

// An HTTP server on 127.0.0.1 that accepts multipart uploads on "/upload" and answers with a
// configurable status and text. While held, requests wait in the handler until released.
class UploadServer {
  public:
    UploadServer();
    ~UploadServer();

    std::string Url() const;
    void SetReply(int status, const std::string& text);
    void Hold();
    void Release();
    // Requests that reached the handler, held or not.
    size_t Arrived();
    bool WaitForArrivals(size_t count);
    std::vector<ReceivedUpload> Uploads();

  private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    int status_ = 200;
    std::string reply_ = "ok";
    size_t arrived_ = 0;
    std::vector<ReceivedUpload> uploads_;
};

// A listener on 127.0.0.1 that resets every connection it accepts.
class ResettingServer {
  public:
    ResettingServer();
    ~ResettingServer();
    int Port() const { return port_; }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// A picture with varied pixels, as a clipboard bitmap.
platform::ClipboardBitmap TestBitmap(uint32_t width, uint32_t height);
// A 24-bit bottom-up CF_DIB block of the size, rows padded.
std::string TestDib(int32_t width, int32_t height);
// A fresh empty folder under the temporary folder.
std::string MakeTempDir();
void WriteFile(const std::string& path, const std::string& bytes);
std::wstring Wide(const std::string& utf8);

class PasterTest : public InProcessPlugin {
  protected:
    void SetUp() override;
    void TearDown() override;

    testhost::Instance& instance() { return *instance_; }
    platform::MemoryClipboard& clipboard() { return *clipboard_; }
    UploadServer& server();
    // Pumps the main thread until the page function has been called `count` times.
    bool WaitForCalls(const testhost::PageFunction& function, size_t count);

    std::string tempDir_;

  private:
    testhost::Instance* instance_ = nullptr;
    std::shared_ptr<platform::MemoryClipboard> clipboard_;
    std::shared_ptr<platform::Clipboard> previousClipboard_;
    std::unique_ptr<UploadServer> server_;
};

}  // namespace pastertest
