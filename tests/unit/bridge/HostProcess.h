// quillon-host started as Chromium starts it, driven through a pipe pair: frames written to
// its standard input, frames read from its standard output (parts joined), its exit awaited.
#pragma once

#include <json/value.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "PackedParts.h"

class HostProcess {
  public:
    // The built host with QUILLON_HOST_CLIPBOARD_HTML naming `clipboardFile` (none when empty)
    // and no desktop.
    explicit HostProcess(const std::string& clipboardFile = std::string(),
                         const std::vector<std::string>& arguments = {});
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    void Send(const Json::Value& message);
    // Raw bytes on the host's standard input.
    void SendBytes(const std::string& bytes);
    void CloseInput();
    // The next message (parts joined into the message they carry); null on time-out or end.
    Json::Value Receive(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Sends a request and answers its result or error, keeping other messages for Next().
    Json::Value Request(const Json::Value& message);
    // Messages received while waiting for results, in arrival order.
    std::vector<Json::Value>& Backlog() { return backlog_; }
    // Waits for the exit: the status as waitpid gives it, or -1 on time-out.
    int Wait(std::chrono::milliseconds timeout);
    // Frames that were packed parts, the packed parts or streams that did not read back, and
    // the largest frame body read.
    size_t partFrames() const { return packed_.frames(); }
    size_t malformedParts() const { return packed_.malformed(); }
    size_t largestFrame() const { return largestFrame_; }

  private:
    bool ReadFrame(std::string& body, std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int toHost_ = -1;
    int fromHost_ = -1;
    int nextId_ = 1;
    std::string buffer_;
    std::vector<Json::Value> backlog_;
    PackedParts packed_;
    size_t largestFrame_ = 0;
};

// Messages built as the extension sends them.
Json::Value Hello(const std::string& origin = "https://page.example");
// A call as the relay sends it; `gesture`: made within a user gesture (as a page's paste is).
Json::Value CallMessage(const std::string& member, const Json::Value& args = Json::Value(),
                        bool gesture = true);
Json::Value SetMessage(const std::string& member, const Json::Value& value);
Json::Value ObjectRef(int id);
