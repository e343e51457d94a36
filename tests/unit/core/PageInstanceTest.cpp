// The page interface without any browser: the core's page instance driven through its member
// table, with a page thread and page objects of the test's own.
#include <gtest/gtest.h>
#include <json/reader.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "InterfaceMembers.h"
#include "LoopbackUploadServer.h"
#include "Office/CfHtml.h"
#include "TestFiles.h"
#include "config/AppConfig.h"
#include "core/MemberTable.h"
#include "core/PageInstance.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace {

using script::ScriptValue;

// Posted calls queue here and run when the test pumps them, on the test's thread.
class TestPageThread : public script::PageThread {
  public:
    void PostCall(void (*call)(void*), void* data) override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.emplace_back(call, data);
        posted_.notify_all();
    }
    // Runs posted calls until `done` holds or the time is up; false on time-out.
    template <typename Done>
    bool RunUntil(Done done, std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!posted_.wait_until(lock, end, [this] { return !calls_.empty(); })) return false;
            const auto call = calls_.front();
            calls_.pop_front();
            lock.unlock();
            call.first(call.second);
        }
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::pair<void (*)(void*), void*>> calls_;
};

// A page function that records the texts it is called with; only ever called on the page
// thread, so it needs no lock.
class RecordingFunction : public script::ScriptObject {
  public:
    bool Call(const std::vector<ScriptValue>& arguments) override {
        EXPECT_EQ(std::this_thread::get_id(), pageThread_) << "called off the page thread";
        if (!arguments.empty()) texts.push_back(arguments[0].text());
        return true;
    }
    std::vector<std::string> texts;

  private:
    std::thread::id pageThread_ = std::this_thread::get_id();
};

ScriptValue CallMember(PageInstance& page, const char* name, std::vector<ScriptValue> args = {}) {
    const script::Member* member = script::FindMember(name, script::MemberKind::kMethod);
    EXPECT_NE(member, nullptr) << name;
    return member ? member->call(page, script::ScriptArgs(args)) : ScriptValue();
}

void SetMember(PageInstance& page, const char* name, const ScriptValue& value) {
    const script::Member* member = script::FindMember(name, script::MemberKind::kProperty);
    ASSERT_NE(member, nullptr) << name;
    ASSERT_NE(member->set, nullptr) << name;
    member->set(page, value);
}

Json::Value Parse(const std::string& text) {
    Json::Value v;
    std::istringstream in(text);
    std::string errors;
    EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &v, &errors)) << text;
    return v;
}

TEST(MemberTable, TheWholeInterfaceInRegistrationOrder) {
    const std::vector<std::string> methods(std::begin(interfacemembers::kMethods),
                                           std::end(interfacemembers::kMethods));
    const std::vector<std::string> properties(std::begin(interfacemembers::kProperties),
                                              std::end(interfacemembers::kProperties));
    std::vector<std::string> listed[2];
    for (const script::Member& m : script::MemberTable()) {
        const bool method = m.kind == script::MemberKind::kMethod;
        listed[method ? 0 : 1].push_back(m.name);
        if (method) {
            EXPECT_NE(m.call, nullptr) << m.name;
        } else {
            EXPECT_TRUE(m.get || m.set) << m.name;
        }
    }
    EXPECT_EQ(listed[0], methods);
    EXPECT_EQ(listed[1], properties);
    EXPECT_EQ(script::MemberTable().front().name, methods.front()) << "methods come first";
    EXPECT_EQ(script::FindMember("Version", script::MemberKind::kMethod), nullptr);
}

TEST(ScriptValues, TheInterfacesConversions) {
    EXPECT_EQ(script::ToInt(ScriptValue::Double(-2.9)), -2);
    EXPECT_EQ(script::ToInt(ScriptValue::Double(1e12)), 2147483647);
    EXPECT_EQ(script::ToInt(ScriptValue::Double(std::nan(""))), 0);
    EXPECT_EQ(script::ToInt(ScriptValue::String("12abc")), 12);
    EXPECT_EQ(script::ToInt(ScriptValue::Bool(true)), 0);
    EXPECT_TRUE(script::ToBool(ScriptValue::Double(0.5)));
    EXPECT_FALSE(script::ToBool(ScriptValue::String("true")));
    EXPECT_EQ(script::StringResult(std::string("ab\0cd", 5)).text(), "ab");
    EXPECT_EQ(script::IntAsStringResult(-42).text(), "-42");
    const std::vector<ScriptValue> one = {ScriptValue::Int32(1)};
    EXPECT_TRUE(script::ScriptArgs(one)[3].IsVoid()) << "missing arguments are void";
    EXPECT_TRUE(ScriptValue::Object(nullptr).IsNull());
}

TEST(PageInstanceWithoutABrowser, AWordPasteAndItsPicturesUploaded) {
    auto clipboard = std::make_shared<platform::MemoryClipboard>();
    platform::SetCurrentClipboard(clipboard);
    LoopbackUploadServer server;
    const std::string dir = ::testing::TempDir() + "quillon_core_page";
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    std::string html = testfiles::ReadFile(
        std::string(QUILLON_CORPUS_DIR) + "/word/ck4_simple-offline-image_word2016win_chrome.html");
    const std::string from = "file:///C:/Users/IEUser/AppData/Local/Temp/msohtmlclip1/01/";
    for (size_t at = html.find(from); at != std::string::npos; at = html.find(from, at))
        html.replace(at, from.size(), "file://" + dir + "/");
    clipboard->SetHtml(WrapCfHtml(html, "file:///C:/Users/ann/report.docx"));

    TestPageThread pageThread;
    {
        PageInstance page(pageThread);
        auto events = std::make_shared<RecordingFunction>();
        SetMember(page, "StateChanged", ScriptValue::Object(events));
        EXPECT_TRUE(CallMember(page, "HasData").boolValue());

        CallMember(page, "Paste");
        ASSERT_TRUE(pageThread.RunUntil([&] { return !events->texts.empty(); }));
        const Json::Value paste = Parse(events->texts[0]);
        EXPECT_EQ(paste["name"].asString(), "Parser_PasteWord");
        const Json::Value& imgs = paste["imgs"];
        ASSERT_EQ(imgs.size(), 2u);

        // Each picture through an upload entry, as a page does.
        std::set<std::string> ids;
        for (const Json::Value& img : imgs) {
            std::ofstream(img["src"].asString(), std::ios::binary) << testfiles::OnePixelPng();
            const std::string id = CallMember(page, "FileUploader_AddFile").text();
            ids.insert(id);
            CallMember(page, "FileUploader_SetPostUrl",
                       {ScriptValue::String(id), ScriptValue::String(server.url())});
            CallMember(page, "FileUploader_SetLocalFile",
                       {ScriptValue::String(id), ScriptValue::String(img["src"].asString())});
            CallMember(page, "FileUploader_Post", {ScriptValue::Double(std::stod(id))});
        }
        EXPECT_EQ(ids.size(), 2u) << "each entry has its own id";
        auto completed = [&] {
            size_t n = 0;
            for (const std::string& text : events->texts)
                n += Parse(text)["name"].asString() == "File_PostComplete";
            return n;
        };
        ASSERT_TRUE(pageThread.RunUntil([&] { return completed() == 2; }))
            << "events: " << events->texts.size();
        EXPECT_EQ(server.uploads().size(), 2u);
        for (const LoopbackUploadServer::Upload& upload : server.uploads())
            EXPECT_FALSE(upload.content.empty()) << upload.fileName;
    }
    platform::SetCurrentClipboard(nullptr);
    AppConfig::Instance().postUrl.clear();
}

}  // namespace
