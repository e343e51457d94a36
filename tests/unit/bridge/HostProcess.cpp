#include "HostProcess.h"

#include <fcntl.h>
#include <json/reader.h>
#include <json/writer.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

namespace {

Json::Value Parse(const std::string& text) {
    Json::Value value;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors))
        return Json::Value();
    return value;
}

std::string Write(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

}  // namespace

HostProcess::HostProcess(const std::string& clipboardFile,
                         const std::vector<std::string>& arguments) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    const std::string program = std::string(QUILLON_BINARY_DIR) + "/quillon-host";
    std::vector<std::string> argv = {program};
    if (arguments.empty())
        argv.push_back("chrome-extension://lnklblhieekoafocncphbihihnkemnmk/");
    else
        argv.insert(argv.end(), arguments.begin(), arguments.end());
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::unsetenv("DISPLAY");
        if (clipboardFile.empty())
            ::unsetenv("QUILLON_HOST_CLIPBOARD_HTML");
        else
            ::setenv("QUILLON_HOST_CLIPBOARD_HTML", clipboardFile.c_str(), 1);
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(&a[0]);
        raw.push_back(nullptr);
        ::execv(program.c_str(), raw.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toHost_ = in[1];
    fromHost_ = out[0];
}

HostProcess::~HostProcess() {
    CloseInput();
    if (pid_ > 0 && Wait(std::chrono::seconds(10)) == -1) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (fromHost_ >= 0) ::close(fromHost_);
}

void HostProcess::SendBytes(const std::string& bytes) {
    size_t written = 0;
    while (toHost_ >= 0 && written < bytes.size()) {
        const ssize_t n = ::write(toHost_, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        written += static_cast<size_t>(n);
    }
}

void HostProcess::Send(const Json::Value& message) {
    const std::string body = Write(message);
    const uint32_t length = static_cast<uint32_t>(body.size());
    std::string frame(4, '\0');
    std::memcpy(&frame[0], &length, 4);
    SendBytes(frame + body);
}

void HostProcess::CloseInput() {
    if (toHost_ >= 0) ::close(toHost_);
    toHost_ = -1;
}

bool HostProcess::ReadFrame(std::string& body, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (buffer_.size() >= 4) {
            uint32_t length = 0;
            std::memcpy(&length, buffer_.data(), 4);
            if (buffer_.size() - 4 >= length) {
                body = buffer_.substr(4, length);
                buffer_.erase(0, 4 + static_cast<size_t>(length));
                largestFrame_ = std::max(largestFrame_, body.size());
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fd = {fromHost_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char chunk[65536];
        const ssize_t n = ::read(fromHost_, chunk, sizeof(chunk));
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

Json::Value HostProcess::Receive(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string body;
    std::string whole;
    while (ReadFrame(body, deadline)) {
        Json::Value message = Parse(body);
        if (message["type"].asString() != "packed") return message;
        if (packed_.Add(message, whole)) return Parse(whole);
    }
    return Json::Value();
}

Json::Value HostProcess::Request(const Json::Value& message) {
    Json::Value sent = message;
    const int id = nextId_++;
    sent["id"] = id;
    Send(sent);
    for (;;) {
        Json::Value reply = Receive();
        if (reply.isNull()) return reply;
        const std::string type = reply["type"].asString();
        if ((type == "result" || type == "error") && reply["id"].asInt() == id) return reply;
        backlog_.push_back(reply);
    }
}

int HostProcess::Wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return status;
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

Json::Value Hello(const std::string& origin) {
    Json::Value m;
    m["type"] = "hello";
    m["origin"] = origin;
    return m;
}

Json::Value CallMessage(const std::string& member, const Json::Value& args, bool gesture) {
    Json::Value m;
    m["type"] = "call";
    m["member"] = member;
    m["args"] = args.isNull() ? Json::Value(Json::arrayValue) : args;
    m["gesture"] = gesture;
    return m;
}

Json::Value SetMessage(const std::string& member, const Json::Value& value) {
    Json::Value m;
    m["type"] = "set";
    m["member"] = member;
    m["value"] = value;
    return m;
}

Json::Value ObjectRef(int id) {
    Json::Value ref;
    ref["$object"] = id;
    return ref;
}
