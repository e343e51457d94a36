#include "PluginHost.h"

#include <json/reader.h>
#include <json/writer.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace wintest {

std::string WideToUtf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                            nullptr, nullptr);
    return out;
}

std::wstring Utf8ToWide(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::string Environment(const char* name) {
    const std::wstring wide = Utf8ToWide(name);
    wchar_t value[2048];
    const DWORD length = GetEnvironmentVariableW(wide.c_str(), value, 2048);
    return length > 0 && length < 2048 ? WideToUtf8(std::wstring(value, length)) : "";
}

std::wstring FreshFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp, length) + name + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return folder;
}

testhost::TestHost* Host() {
    static std::unique_ptr<testhost::TestHost> host;
    static bool tried = false;
    if (!tried) {
        tried = true;
        host = std::make_unique<testhost::TestHost>();
        const std::string dll = WideToUtf8(ProgramFolder() + L"npQuillon.dll");
        NPError result = NPERR_MODULE_LOAD_FAILED_ERROR;
        if (!host->Load(dll)) {
            std::printf("cannot load %s: %s\n", dll.c_str(), host->load_error().c_str());
            host.reset();
        } else if ((result = host->Initialize(testhost::TestHost::InitStyle::kWindows)) !=
                   NPERR_NO_ERROR) {
            std::printf("initializing %s failed with %d\n", dll.c_str(), result);
            host.reset();
        }
    }
    return host.get();
}

std::string UploadUrl() {
    return Environment("QUILLON_UPLOAD_URL");
}

std::wstring UploadFolder() {
    std::wstring folder = Utf8ToWide(Environment("QUILLON_UPLOAD_DIR"));
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

Page::Page() {
    testhost::TestHost* host = Host();
    if (!host) return;
    testhost::Instance& instance = host->NewInstance();
    if (!instance.alive()) {
        std::printf("  NPP_New failed with %d\n", instance.new_result());
        return;
    }
    // A browser gives a windowed plug-in its own child window; a message-only window stands in
    // for it (it needs no display).
    window_ = CreateWindowExW(0, L"STATIC", L"npQuillon test", 0, 0, 0, 400, 300, HWND_MESSAGE,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    const NPError attached =
        window_ ? instance.SetWindow(window_) : static_cast<NPError>(NPERR_GENERIC_ERROR);
    if (attached != NPERR_NO_ERROR) {
        std::printf("  attaching to a window failed (%d, window %p)\n", attached, window_);
        return;
    }
    events_ = host->NewFunction();
    if (!instance.Set("StateChanged", testhost::Value(events_))) {
        std::printf("  setting StateChanged failed\n");
        return;
    }
    const std::string init = "{\"config\":{\"PostUrl\":\"" + UploadUrl() + "\"}}";
    instance.Call("Init", {testhost::Value(init)});
    instance_ = &instance;
}

Page::~Page() {
    if (instance_ && instance_->alive()) instance_->Destroy();
    if (window_) DestroyWindow(static_cast<HWND>(window_));
}

std::vector<Json::Value> Page::Events(const std::string& name) const {
    std::vector<Json::Value> found;
    for (const std::string& text : events_.StringArgs()) {
        Json::Value event;
        std::istringstream in(text);
        std::string errors;
        if (!Json::parseFromStream(Json::CharReaderBuilder(), in, &event, &errors)) {
            std::printf("  an event is not JSON: %s\n", text.c_str());
            continue;
        }
        if (name.empty() || event["name"].asString() == name) found.push_back(event);
    }
    return found;
}

bool Page::WaitFor(const std::string& name, size_t count, int seconds) {
    return Host()->RunUntil([&] { return Events(name).size() >= count; },
                            std::chrono::seconds(seconds));
}

std::string Page::Upload(const std::string& source, int idLoc, const std::string& width,
                         const std::string& height) {
    const std::string id = plugin().Call("FileUploader_AddFile").value.AsString();
    Json::Value document;
    document["config"]["pathLoc"] = source;
    document["config"]["idLoc"] = idLoc;
    document["config"]["Width"] = width;
    document["config"]["Height"] = height;
    document["config"]["PostUrl"] = UploadUrl();
    plugin().Call("FileUploader_Init",
                  {testhost::Value(id), testhost::Value(Json::FastWriter().write(document))});
    plugin().Call("FileUploader_Post", {testhost::Value(id)});
    return id;
}

}  // namespace wintest
