// Messages to the extension on standard output, one frame each, from any thread. A message
// whose JSON text is longer than the browser takes from a host (1 MB) goes out as parts:
// {"type":"part","seq":S,"index":i,"count":n,"data":"..."}, the text cut on code point
// boundaries, which the extension joins in index order and parses.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <mutex>
#include <string>

namespace host {

// The longest message text sent whole; above it, parts.
constexpr size_t kMaxWholeMessage = 1000 * 1000;
// Bytes of message text per part: with every byte escaped (quotes and backslashes are the
// only ones left to escape in a JSON text) a part stays under the limit.
constexpr size_t kPartBytes = 400 * 1000;

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

    std::mutex mutex_;
    int fd_;
    bool broken_ = false;
    uint64_t nextSeq_ = 1;
};

// The compact JSON text of a message, UTF-8 unescaped.
std::string WriteJson(const Json::Value& message);

}  // namespace host
