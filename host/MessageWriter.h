// Messages to the extension on standard output, one frame each, from any thread. A long
// message text goes out packed (host/PackedMessage.h), in parts under the 1 MB a browser
// takes from a host.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <mutex>
#include <string>

namespace host {

class MessageWriter {
  public:
    explicit MessageWriter(int fd) : fd_(fd) {}
    MessageWriter(const MessageWriter&) = delete;
    MessageWriter& operator=(const MessageWriter&) = delete;

    // False once the browser has stopped reading (the message is dropped).
    bool Send(const Json::Value& message);
    // A message text already in JSON.
    bool SendText(const std::string& json);

  private:
    bool WriteFrame(const std::string& body);
    bool WritePacked(const std::string& json);

    std::mutex mutex_;
    int fd_;
    bool broken_ = false;
    uint64_t nextSeq_ = 1;
};

// The compact JSON text of a message, UTF-8 unescaped, keys in byte order.
std::string WriteJson(const Json::Value& message);

}  // namespace host
