// quillon-host.exe driven as Chromium on Windows drives it: started with pipes for standard
// input and output and Chromium's arguments (the origin, then --parent-window), frames written
// and read through the pipes. A Word paste from the Windows clipboard with its pictures
// uploaded to the test run's upload server (progress, then completion, per picture); frames
// whose length bytes are line feeds or Ctrl-Z cross both pipes unchanged; the host ends
// cleanly when its input closes.
#include <windows.h>
// windows.h first: the OLE headers of ClipboardFill.h build on its types.
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Check.h"
#include "ClipboardFill.h"
#include "PackedParts.h"
#include "TestFiles.h"
#include "platform/clipboard/CfHtmlHeader.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"

namespace {

using util::Utf8ToWide;
using util::WideToUtf8;

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path, length);
    return program.substr(0, program.find_last_of(L"\\/") + 1);
}

std::string Environment(const char* name) {
    char value[2048];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string ReadBytes(const std::wstring& path) {
    return util::ReadWholeFile(path).str();
}

// A new folder under the temporary folder, with a trailing backslash.
std::wstring FreshFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp, length) + name + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

Json::Value Parse(const std::string& text) {
    Json::Value value;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors))
        return Json::Value();
    return value;
}

// The host as a browser starts it, with a thread that cuts frames from its standard output.
class HostProgram {
  public:
    HostProgram() {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        if (!CreatePipe(&childIn, &toHost_, &inherit, 0) ||
            !CreatePipe(&fromHost_, &childOut, &inherit, 0))
            return;
        // Our ends stay ours.
        SetHandleInformation(toHost_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromHost_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring command = L"\"" + ProgramFolder() + L"quillon-host.exe\" chrome-extension://" +
                               Utf8ToWide(QUILLON_CHROMIUM_EXTENSION_ID) + L"/ --parent-window=0";
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &process)) {
            process_ = process.hProcess;
            CloseHandle(process.hThread);
        }
        CloseHandle(childIn);
        CloseHandle(childOut);
        if (process_) reader_ = std::thread([this] { ReadFrames(); });
    }

    ~HostProgram() {
        CloseInput();
        if (process_ && WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_, 99);
        if (reader_.joinable()) reader_.join();
        if (fromHost_) CloseHandle(fromHost_);
        if (process_) CloseHandle(process_);
    }

    bool ok() const { return process_ != nullptr; }

    bool SendText(const std::string& body) {
        const uint32_t length = static_cast<uint32_t>(body.size());
        std::string frame(reinterpret_cast<const char*>(&length), 4);
        frame += body;
        DWORD written = 0;
        return toHost_ &&
               WriteFile(toHost_, frame.data(), static_cast<DWORD>(frame.size()), &written,
                         nullptr) &&
               written == frame.size();
    }

    // The next message, parts joined as the extension joins them; null on time-out or end.
    Json::Value Receive(int seconds = 60) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            if (!backlog_.empty()) {
                const Json::Value message = backlog_.front();
                backlog_.pop_front();
                return message;
            }
            std::string body;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!arrived_.wait_until(lock, deadline,
                                         [&] { return !frames_.empty() || ended_; }))
                    return Json::Value();
                if (frames_.empty()) return Json::Value();
                body = frames_.front();
                frames_.pop_front();
            }
            Json::Value message = Parse(body);
            if (message["type"] != "packed") return message;
            std::string whole;
            if (packed_.Add(message, whole)) return Parse(whole);
        }
    }

    // Sends a request with the next id and answers its result or error; other messages are
    // kept for Receive in their order.
    Json::Value Request(Json::Value message) {
        const int id = nextId_++;
        message["id"] = id;
        if (!SendText(Compact(message))) return Json::Value();
        std::deque<Json::Value> others;
        for (;;) {
            Json::Value answer = Receive();
            if (answer.isNull() ||
                ((answer["type"] == "result" || answer["type"] == "error") && answer["id"] == id)) {
                for (auto it = others.rbegin(); it != others.rend(); ++it) backlog_.push_front(*it);
                return answer;
            }
            others.push_back(answer);
        }
    }

    // The body of the next frame exactly as it arrived (no joining), "" on time-out or end.
    std::string ReceiveRaw(int seconds = 60) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!arrived_.wait_for(lock, std::chrono::seconds(seconds),
                               [&] { return !frames_.empty() || ended_; }) ||
            frames_.empty())
            return std::string();
        std::string body = frames_.front();
        frames_.pop_front();
        return body;
    }

    void CloseInput() {
        if (toHost_) CloseHandle(toHost_);
        toHost_ = nullptr;
    }

    // The exit code, or STILL_ACTIVE when the host is still running after `milliseconds`.
    DWORD WaitForExit(DWORD milliseconds) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_, &code);
        return code;
    }

    // A frame whose length no browser accepts arrived: the stream was mangled.
    bool garbled() {
        std::lock_guard<std::mutex> lock(mutex_);
        return garbled_;
    }

  private:
    void ReadFrames() {
        std::string buffer;
        char chunk[64 * 1024];
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(fromHost_, chunk, sizeof chunk, &n, nullptr) || n == 0) break;
            buffer.append(chunk, n);
            std::lock_guard<std::mutex> lock(mutex_);
            while (buffer.size() >= 4) {
                uint32_t length = 0;
                std::memcpy(&length, buffer.data(), 4);
                // Chromium takes at most 1 MB per message from a host.
                if (length > 1024 * 1024) {
                    garbled_ = true;
                    buffer.clear();
                    break;
                }
                if (buffer.size() - 4 < length) break;
                frames_.push_back(buffer.substr(4, length));
                buffer.erase(0, 4 + length);
            }
            arrived_.notify_all();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        arrived_.notify_all();
    }

    HANDLE process_ = nullptr;
    HANDLE toHost_ = nullptr;
    HANDLE fromHost_ = nullptr;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> frames_;
    bool ended_ = false;
    bool garbled_ = false;
    std::deque<Json::Value> backlog_;
    PackedParts packed_;
    int nextId_ = 1;
};

Json::Value Message(const char* type, const char* member) {
    Json::Value message;
    message["type"] = type;
    message["member"] = member;
    return message;
}

Json::Value Call(const char* member, std::initializer_list<Json::Value> args = {}) {
    Json::Value message = Message("call", member);
    message["gesture"] = true;  // as the relay sends a call made within the user's press
    message["args"] = Json::Value(Json::arrayValue);
    for (const Json::Value& arg : args) message["args"].append(arg);
    return message;
}

Json::Value Hello() {
    Json::Value hello;
    hello["type"] = "hello";
    hello["origin"] = "https://page.example";
    return hello;
}

// The next event text sent to "StateChanged" (page object 1), parsed; null when none came.
Json::Value NextEvent(HostProgram& host) {
    for (;;) {
        const Json::Value message = host.Receive();
        if (message.isNull()) return message;
        if (message["type"] == "call" && message["object"] == 1)
            return Parse(message["args"][0].asString());
    }
}

bool IsJpeg(const std::string& bytes) {
    return bytes.size() > 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0;
}

bool IsPng(const std::string& bytes) {
    return bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0;
}

TEST_CASE(WordPasteFromTheWindowsClipboardUploadsEveryPictureWithProgress) {
    // A real Word document whose pictures (an .emz, PNGs, a .wmz) are files in a local folder,
    // on the clipboard as "HTML Format", as Word leaves it.
    const std::wstring folder = FreshFolder(L"quillon_host_word");
    const std::string corpus = QUILLON_WIN32_CORPUS_DIR;
    std::string html =
        ReadBytes(Utf8ToWide(corpus + "/word/ck4_unsupported-formats_word365mac_chrome.html"));
    REQUIRE(!html.empty());
    std::string url = "file:///" + WideToUtf8(folder);
    for (char& c : url)
        if (c == '\\') c = '/';
    const std::string from =
        "file:////Users/comandeer/Library/Group%20Containers/UBF8T346G9.Office/TemporaryItems/"
        "msohtmlclip/";
    for (size_t at = html.find(from); at != std::string::npos; at = html.find(from, at))
        html.replace(at, from.size(), url);
    util::WriteWholeFile(folder + L"clip_image001.emz",
                         ReadBytes(Utf8ToWide(corpus + "/wmz/gdconv_sample.emz")));
    util::WriteWholeFile(folder + L"clip_image003.wmz",
                         ReadBytes(Utf8ToWide(corpus + "/wmz/gdviewer_sample.wmz")));
    for (const wchar_t* name : {L"clip_image002.png", L"clip_image004.png", L"clip_image005.png"})
        util::WriteWholeFile(folder + name, testfiles::OnePixelPng());
    const std::string cfHtml = platform::WrapCfHtml(html, "file:///C:/Users/ann/report.docx");
    REQUIRE(clipfill::SetDirect({{RegisterClipboardFormatA("HTML Format"),
                                  clipfill::GlobalFromBytes(cfHtml + std::string(1, '\0'))}}));

    HostProgram host;
    REQUIRE(host.ok());
    REQUIRE(host.SendText(Compact(Hello())));
    Json::Value state = Message("set", "StateChanged");
    state["value"]["$object"] = 1;
    REQUIRE(host.Request(state)["type"] == "result");
    const std::string postUrl = Environment("QUILLON_UPLOAD_URL");
    REQUIRE(!postUrl.empty());
    host.Request(Call("Init", {"{\"config\":{\"PostUrl\":\"" + postUrl + "\"}}"}));

    CHECK_EQ(host.Request(Call("Paste"))["type"].asString(), std::string("result"));
    const Json::Value paste = NextEvent(host);
    REQUIRE(paste["name"] == "Parser_PasteWord");
    CHECK_EQ(paste["word"].asString().find("<o:p>"), std::string::npos);
    const Json::Value& imgs = paste["imgs"];
    REQUIRE(imgs.size() == 3u);
    for (Json::ArrayIndex i = 0; i < imgs.size(); ++i) {
        const Json::Value added = host.Request(Call("FileUploader_AddFile"));
        REQUIRE(added["value"].isString());
        Json::Value document;
        document["config"]["pathLoc"] = imgs[i]["src"];
        document["config"]["idLoc"] = 100 + static_cast<int>(i);
        document["config"]["Width"] = imgs[i]["width"];
        document["config"]["Height"] = imgs[i]["height"];
        document["config"]["PostUrl"] = postUrl;
        host.Request(Call("FileUploader_Init", {added["value"], Compact(document)}));
        host.Request(Call("FileUploader_Post", {added["value"]}));
    }

    std::map<int, std::vector<std::string>> byId;  // reported id -> event names in order
    std::map<int, std::string> addresses;
    for (size_t finished = 0; finished < imgs.size();) {
        const Json::Value event = NextEvent(host);
        REQUIRE(!event.isNull());
        const std::string name = event["name"].asString();
        const int id = event["id"].asInt();
        byId[id].push_back(name);
        if (name == "File_PostComplete") addresses[id] = event["value"].asString();
        if (name == "File_PostComplete" || name == "File_PostError") ++finished;
    }
    bool progress = false;
    for (Json::ArrayIndex i = 0; i < imgs.size(); ++i) {
        const int id = 100 + static_cast<int>(i);
        const std::vector<std::string>& names = byId[id];
        REQUIRE(!names.empty());
        CHECK_EQ(names.back(), std::string("File_PostComplete"));
        for (size_t k = 0; k + 1 < names.size(); ++k) {
            CHECK_EQ(names[k], std::string("File_PostProcess"));
            progress = true;
        }
        // What the server stored: metafiles drawn by GDI+ (an EMF as JPEG, a WMF as PNG).
        const std::string& address = addresses[id];
        std::wstring stored = Utf8ToWide(Environment("QUILLON_UPLOAD_DIR"));
        stored += L"\\" + Utf8ToWide(address.substr(address.rfind('/') + 1));
        const std::string bytes = ReadBytes(stored);
        const std::string ext = imgs[i]["ext"].asString();
        if (ext == ".emz") CHECK(IsJpeg(bytes));
        if (ext == ".wmz" || ext == ".png") CHECK(IsPng(bytes));
    }
    CHECK(progress);
    CHECK(byId.size() == imgs.size());

    host.CloseInput();
    CHECK_EQ(host.WaitForExit(20000), static_cast<DWORD>(0));
    clipfill::ClearClipboard();
}

TEST_CASE(FramesWhoseLengthsHoldLineFeedsAndCtrlZCrossThePipesUnchanged) {
    HostProgram host;
    REQUIRE(host.ok());
    REQUIRE(host.SendText(Compact(Hello())));
    // An unknown member is answered with an error naming it: the name sets both lengths.
    auto ask = [&](size_t nameLength) {
        Json::Value call = Call("x");
        call["member"] = std::string(nameLength, 'x');
        call["id"] = 7;
        host.SendText(Compact(call));
        return host.ReceiveRaw();
    };
    const std::string shortest = ask(1);
    REQUIRE(!shortest.empty());
    // A reply of 0x0A0A bytes: its length is "0A 0A 00 00", which a text-mode standard
    // output would write as "0D 0A 0D 0A 00 00".
    const std::string reply = ask(1 + 0x0A0A - shortest.size());
    CHECK_EQ(reply.size(), static_cast<size_t>(0x0A0A));
    CHECK(Parse(reply)["type"] == "error");
    // A request of 0x1A0A bytes ("0A 1A 00 00": a line feed and the text-mode end of file).
    Json::Value probe = Call("x");
    probe["id"] = 7;
    const size_t envelope = Compact(probe).size() - 1;
    const std::string second = ask(0x1A0A - envelope);
    CHECK(Parse(second)["type"] == "error");
    CHECK(Parse(second)["message"].asString().size() > 0x1900u);
    CHECK(!host.garbled());
    host.CloseInput();
    CHECK_EQ(host.WaitForExit(20000), static_cast<DWORD>(0));
}

}  // namespace

int main(int argc, char** argv) {
    if (FAILED(OleInitialize(nullptr))) return 2;
    const int result = wincheck::RunAll(argc > 1 ? argv[1] : nullptr);
    OleUninitialize();
    return result;
}
