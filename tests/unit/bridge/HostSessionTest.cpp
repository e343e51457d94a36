// quillon-host as the extension drives it: a Word paste from the clipboard with its pictures
// uploaded, events as "call" messages in order, the pasted-files rule, results over the
// browser's 1 MB limit in parts, malformed input refused, and the end of the port during an
// upload.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/writer.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

#include "HostProcess.h"
#include "LoopbackUploadServer.h"
#include "Office/CfHtml.h"
#include "TestFiles.h"

namespace {

using testfiles::OnePixelPng;
using testfiles::ReadFile;

const char kPictureFolder[] = "/Users/IEUser/AppData/Local/Temp/msohtmlclip1/01/";

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

Json::Value ParseText(const std::string& text) {
    Json::Value v;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    reader->parse(text.data(), text.data() + text.size(), &v, &errors);
    return v;
}

std::string Compact(const Json::Value& v) {
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return Json::writeString(b, v);
}

class HostSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "quillon_bridge_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + kPictureFolder + "'").c_str());
        // The hosts' log folder ($XDG_STATE_HOME/npquillon) is the test's.
        ::setenv("XDG_STATE_HOME", dir_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_STATE_HOME");
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    // A real Word document whose two pictures are PNG files under dir_, as clipboard data.
    std::string WordClipboard(const std::string& firstPicture = OnePixelPng()) {
        std::string html = ReadFile(std::string(QUILLON_CORPUS_DIR) +
                                    "/word/ck4_simple-offline-image_word2016win_chrome.html");
        const std::string from = "file:///C:/";
        for (size_t at = html.find(from); at != std::string::npos; at = html.find(from, at))
            html.replace(at, from.size(), "file://" + dir_ + "/");
        WriteFile(dir_ + kPictureFolder + "clip_image001.png", firstPicture);
        WriteFile(dir_ + kPictureFolder + "clip_image002.png", OnePixelPng());
        return Clipboard(WrapCfHtml(html, "file:///C:/Users/ann/report.docx"));
    }

    std::string Clipboard(const std::string& cfHtml) {
        const std::string path = dir_ + "/clipboard.cfhtml";
        WriteFile(path, cfHtml);
        return path;
    }

    // The next event text sent to the page's "StateChanged" object (id 1).
    static Json::Value NextEvent(HostProcess& host) {
        for (;;) {
            Json::Value message;
            if (!host.Backlog().empty()) {
                message = host.Backlog().front();
                host.Backlog().erase(host.Backlog().begin());
            } else {
                message = host.Receive();
            }
            if (message.isNull()) return message;
            if (message["type"] == "call" && message["object"] == 1) {
                EXPECT_EQ(message["args"].size(), 1u);
                return ParseText(message["args"][0].asString());
            }
        }
    }

    static Json::Value Args(std::initializer_list<Json::Value> values) {
        Json::Value args(Json::arrayValue);
        for (const Json::Value& v : values) args.append(v);
        return args;
    }

    // "FileUploader_AddFile", "_Init" with the path and reported id, "_Post".
    static void Upload(HostProcess& host, const std::string& path, int idLoc,
                       const std::string& postUrl) {
        const Json::Value added = host.Request(CallMessage("FileUploader_AddFile"));
        ASSERT_TRUE(added["value"].isString()) << Compact(added);
        Json::Value doc;
        doc["config"]["pathLoc"] = path;
        doc["config"]["idLoc"] = idLoc;
        doc["config"]["PostUrl"] = postUrl;
        host.Request(CallMessage("FileUploader_Init", Args({added["value"], Compact(doc)})));
        host.Request(CallMessage("FileUploader_Post", Args({added["value"]})));
    }

    static void StartPage(HostProcess& host, const std::string& postUrl) {
        host.Send(Hello());
        const Json::Value set = host.Request(SetMessage("StateChanged", ObjectRef(1)));
        ASSERT_EQ(set["type"], "result") << Compact(set);
        EXPECT_FALSE(set.isMember("value"));
        host.Request(CallMessage("Init", Args({"{\"config\":{\"PostUrl\":\"" + postUrl + "\"}}"})));
    }

    std::string dir_;
};

TEST_F(HostSessionTest, WordPasteEventsInOrderPicturesUploadedOtherFilesAndLogPathsRefused) {
    LoopbackUploadServer server;
    // The page's log file name is kept, its folder is the host's.
    WriteFile(dir_ + "/victim.txt", "keep");
    HostProcess host(WordClipboard());
    StartPage(host, server.url());
    host.Request(SetMessage("Debug", true));
    host.Request(SetMessage("LogFile", dir_ + "/victim.txt"));
    const Json::Value untyped = host.Request(Json::Value(Json::objectValue));
    EXPECT_EQ(untyped["type"], "error") << "a request without a type is answered, not fatal";

    // Outside a user gesture the host itself refuses the clipboard read (the default
    // "clipboard": "gesture"), for the page's console; nothing is read or posted.
    const Json::Value refused = host.Request(CallMessage("Paste", Json::Value(), false));
    EXPECT_EQ(refused["type"], "error");
    EXPECT_TRUE(refused["console"].asBool());
    EXPECT_NE(refused["message"].asString().find("user gesture"), std::string::npos);
    const Json::Value pasted = host.Request(CallMessage("Paste"));
    EXPECT_EQ(pasted["type"], "result");
    const Json::Value paste = NextEvent(host);
    ASSERT_EQ(paste["name"], "Parser_PasteWord") << Compact(paste);
    EXPECT_EQ(paste["word"].asString().find("<o:p>"), std::string::npos);
    const Json::Value& imgs = paste["imgs"];
    ASSERT_EQ(imgs.size(), 2u);
    for (Json::ArrayIndex i = 0; i < imgs.size(); ++i)
        Upload(host, imgs[i]["src"].asString(), 10 + static_cast<int>(i), server.url());
    // A local file no paste reported: refused with the upload error, nothing sent.
    Upload(host, dir_ + "/clipboard.cfhtml", 99, server.url());

    std::map<int, std::vector<std::string>> byId;  // reported id -> event names in order
    size_t finished = 0;
    while (finished < 3) {
        const Json::Value event = NextEvent(host);
        ASSERT_FALSE(event.isNull()) << "events stopped after " << finished;
        const std::string name = event["name"].asString();
        byId[event["id"].asInt()].push_back(name);
        if (name == "File_PostComplete" || name == "File_PostError") ++finished;
    }
    for (int id : {10, 11}) {
        const std::vector<std::string>& names = byId[id];
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(names.back(), "File_PostComplete") << id;
        for (size_t i = 0; i + 1 < names.size(); ++i) EXPECT_EQ(names[i], "File_PostProcess");
    }
    EXPECT_EQ(byId[99], std::vector<std::string>{"File_PostError"});
    EXPECT_EQ(server.uploads().size(), 2u);

    host.CloseInput();
    const int status = host.Wait(std::chrono::seconds(10));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(dir_ + "/victim.txt"), "keep");
    EXPECT_NE(ReadFile(dir_ + "/npquillon/victim.txt"), "");
}

TEST_F(HostSessionTest, AResultOverTheBrowsersLimitArrivesInPartsThatJoinToTheWhole) {
    // Paragraphs that compress poorly, so that even packed the result needs several parts.
    std::string body, last;
    uint64_t noise = 88172645463325252u;
    for (int i = 0; i < 40000; ++i) {
        std::string words;
        for (int w = 0; w < 4; ++w) {
            noise ^= noise << 13, noise ^= noise >> 7, noise ^= noise << 17;
            words += std::to_string(noise) + " ";
        }
        last = "Absatz " + std::to_string(i) + " " + words + "\xC3\xBC\xE2\x82\xAC \"q\"";
        body += "<p class=MsoNormal>" + last + "</p>\r\n";
    }
    const std::string html =
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head><meta name=Generator "
        "content=\"Microsoft Word 15\"></head><body>" +
        body + "<p>END-MARK</p></body></html>";
    HostProcess host(Clipboard(WrapCfHtml(html, "file:///C:/big.docx")));
    host.Send(Hello());
    const Json::Value word = host.Request(CallMessage("WordParser_GetWord"));
    ASSERT_TRUE(word["value"].isString()) << Compact(word).substr(0, 200);
    const std::string text = word["value"].asString();
    EXPECT_GT(text.size(), 1500000u);
    EXPECT_NE(text.find(last), std::string::npos);
    EXPECT_NE(text.find("END-MARK"), std::string::npos);
    EXPECT_GE(host.partFrames(), 2u);
    EXPECT_EQ(host.malformedParts(), 0u);
    EXPECT_LE(host.largestFrame(), 1024u * 1024u);
}

TEST_F(HostSessionTest, MalformedInputEndsTheSessionWithoutACrash) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::string hello = [] {
        const std::string body = Compact(Hello());
        const uint32_t n = static_cast<uint32_t>(body.size());
        return std::string(reinterpret_cast<const char*>(&n), 4) + body;
    }();
    auto frame = [](const std::string& body) {
        const uint32_t n = static_cast<uint32_t>(body.size());
        return std::string(reinterpret_cast<const char*>(&n), 4) + body;
    };
    const Case cases[] = {
        {"a length over 64 MiB", hello + std::string("\xFF\xFF\xFF\x7F", 4)},
        {"not JSON", hello + frame("{\"type\":\"call\",")},
        {"not an object", hello + frame("[1,2]")},
        {"a call before hello", frame(Compact(CallMessage("Paste")))},
    };
    for (const Case& c : cases) {
        HostProcess host;
        host.SendBytes(c.bytes);
        const auto started = std::chrono::steady_clock::now();
        const int status = host.Wait(std::chrono::seconds(10));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.what << ": " << status;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << c.what;
    }
    HostProcess stranger(std::string(), {"chrome-extension://aaaabbbbccccddddeeeeffffgggghhhh/"});
    const int status = stranger.Wait(std::chrono::seconds(10));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "another extension: " << status;
}

// Accepts connections and never reads, so an upload stays under way.
class StallingServer {
  public:
    StallingServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        ::listen(listener_, 4);
        socklen_t length = sizeof(addr);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                const int c = ::accept(listener_, nullptr, nullptr);
                if (c < 0) return;
                accepted_.fetch_add(1);
                connections_.push_back(c);
            }
        });
    }
    ~StallingServer() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
        for (int c : connections_) ::close(c);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/upload"; }
    int accepted() const { return accepted_.load(); }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::vector<int> connections_;
    std::atomic<int> accepted_{0};
};

TEST_F(HostSessionTest, ThePortClosedDuringAnUploadEndsTheProcessPromptly) {
    StallingServer server;
    std::string big = OnePixelPng();
    big.resize(24u << 20, 'x');  // more than loopback buffers hold
    HostProcess host(WordClipboard(big));
    StartPage(host, server.url());
    host.Request(CallMessage("Paste"));
    const Json::Value paste = NextEvent(host);
    ASSERT_EQ(paste["name"], "Parser_PasteWord");
    Upload(host, paste["imgs"][0]["src"].asString(), 1, server.url());
    for (int i = 0; i < 500 && server.accepted() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(server.accepted(), 1) << "the upload never connected";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const auto closed = std::chrono::steady_clock::now();
    host.CloseInput();
    const int status = host.Wait(std::chrono::seconds(10));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(3));
}

}  // namespace
