// A loopback HTTP server for the upload entries: it records every multipart upload it
// receives (file name, bytes, text fields, arrival time) and serves files to download.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

struct ReceivedUpload {
    std::string fileName;
    std::string bytes;
    std::map<std::string, std::string> fields;
    std::string cookie;
    std::chrono::steady_clock::time_point at;
};

struct ServedFile {
    std::string bytes;
    std::string contentType = "application/octet-stream";
    std::string disposition;  // Content-Disposition, none when empty
    int status = 200;
    int delayMs = 0;  // before answering
};

class UploadServer {
  public:
    UploadServer();
    ~UploadServer();

    std::string Url(const std::string& target) const;

    // Answers to uploads: the body (with "text/plain; charset=utf-8") and status.
    void SetUploadAnswer(const std::string& body, int status = 200);
    // While held, upload handlers wait (up to 10 s) before answering.
    void HoldUploads(bool hold);
    void Serve(const std::string& path, const ServedFile& file);

    std::vector<ReceivedUpload> Uploads() const;
    size_t UploadCount() const;
    // Uploads whose handlers are waiting right now.
    size_t HeldUploads() const;
    size_t Downloads() const;
    std::chrono::steady_clock::time_point LastDownloadAt() const;

  private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool hold_ = false;
    size_t held_ = 0;
    std::string answer_ = "ok";
    int answerStatus_ = 200;
    std::map<std::string, ServedFile> files_;
    std::vector<ReceivedUpload> uploads_;
    size_t downloads_ = 0;
    std::chrono::steady_clock::time_point lastDownloadAt_;
};

// The upload name the poster gives these bytes: their CRC-32 as 8 lower-case hex digits,
// least significant byte first, then the extension.
std::string Crc32Name(const std::string& bytes, const std::string& extension);
