// An instance with a page event callback, driven through the "FileUploader_" members, with a
// scratch folder for source files.
#pragma once

#include <json/reader.h>
#include <json/value.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "InProcessPlugin.h"
#include "config/AppConfig.h"
#include "image/CImageFileUploader.h"

class UploaderTest : public InProcessPlugin {
  protected:
    void SetUp() override {
        InProcessPlugin::SetUp();
        AppConfig& app = AppConfig::Instance();
        app.postUrl.clear();
        app.maxFileSize = 10485760;
        instance_ = &NewInstance();
        onEvent_ = host().NewFunction();
        ASSERT_TRUE(instance_->Set("StateChanged", testhost::Value(onEvent_)));
        char folder[] = "/tmp/uploader-test-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
    }

    void TearDown() override {
        if (instance_->alive()) instance_->Destroy();
        // Entries are destroyed on threads of their own once their workers return.
        EXPECT_TRUE(host().RunUntil([] { return CImageFileUploader::LiveCount() == 0; },
                                    std::chrono::seconds(15)));
        std::system(("rm -rf '" + folder_ + "'").c_str());
        InProcessPlugin::TearDown();
    }

    testhost::ScriptResult Call(const std::string& member,
                                const std::vector<testhost::Value>& args = {}) {
        return instance_->Call(member, args);
    }
    std::string AddFile() { return Call("FileUploader_AddFile").value.AsString(); }

    // A file in the scratch folder; its path.
    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const std::string path = folder_ + "/" + name;
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return path;
    }
    // A file of `size` zero bytes that takes no disk space.
    std::string SparseFile(const std::string& name, off_t size) {
        const std::string path = WriteFile(name, "");
        if (truncate(path.c_str(), size) != 0) ADD_FAILURE() << "truncate " << path;
        return path;
    }

    std::vector<Json::Value> Events() {
        std::vector<Json::Value> events;
        for (const std::string& text : onEvent_.StringArgs()) {
            Json::Value event;
            Json::Reader reader;
            EXPECT_TRUE(reader.parse(text, event)) << text;
            events.push_back(event);
        }
        return events;
    }
    std::vector<std::string> EventTexts() { return onEvent_.StringArgs(); }
    size_t CountEvents(const std::string& name, int id) {
        size_t count = 0;
        for (const Json::Value& e : Events())
            if (e["name"].asString() == name && e["id"].asInt() == id) ++count;
        return count;
    }
    bool WaitForEvent(const std::string& name, int id, int seconds = 10) {
        return host().RunUntil([&] { return CountEvents(name, id) > 0; },
                               std::chrono::seconds(seconds));
    }
    // Pumps the main thread for a while (to show that nothing more arrives).
    void Pump(int ms) {
        host().RunUntil([] { return false; }, std::chrono::milliseconds(ms));
    }

    testhost::Instance* instance_ = nullptr;
    testhost::PageFunction onEvent_;
    std::string folder_;
};
