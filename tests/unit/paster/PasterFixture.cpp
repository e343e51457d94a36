#include "PasterFixture.h"

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "config/AppConfig.h"
#include "platform/kernel/Text.h"

namespace pastertest {

UploadServer::UploadServer() : server_(new httplib::Server()) {
    server_->Post("/upload", [this](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        ReceivedUpload upload;
        for (const auto& part : request.files) {
            if (part.first == "file") {
                upload.fileName = part.second.filename;
                upload.content = part.second.content;
            } else {
                upload.fields[part.first] = part.second.content;
            }
        }
        uploads_.push_back(upload);
        response.status = status_;
        response.set_content(reply_, "text/plain");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

UploadServer::~UploadServer() {
    Release();
    server_->stop();
    thread_.join();
}

std::string UploadServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/upload";
}

void UploadServer::SetReply(int status, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    reply_ = text;
}

void UploadServer::Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
}

void UploadServer::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
    changed_.notify_all();
}

size_t UploadServer::Arrived() {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrived_;
}

bool UploadServer::WaitForArrivals(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kWait, [&] { return arrived_ >= count; });
}

std::vector<ReceivedUpload> UploadServer::Uploads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return uploads_;
}

ResettingServer::ResettingServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
        while (!stopping_.load()) {
            const int connection = accept(listener_, nullptr, nullptr);
            if (connection < 0) break;
            const linger reset{1, 0};
            setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
            close(connection);
        }
    });
}

ResettingServer::~ResettingServer() {
    stopping_.store(true);
    if (listener_ >= 0) shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
}

platform::ClipboardBitmap TestBitmap(uint32_t width, uint32_t height) {
    platform::ClipboardBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bgra.resize(size_t(width) * height * 4);
    uint32_t state = 12345;
    for (size_t i = 0; i < bitmap.bgra.size(); ++i) {
        state = state * 1103515245u + 12345u;  // noise keeps the JPEG large enough to report
        bitmap.bgra[i] = static_cast<uint8_t>(state >> 24);
    }
    return bitmap;
}

namespace {

std::string Le(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

}  // namespace

std::string TestDib(int32_t width, int32_t height) {
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    std::string block = Le(40, 4) + Le(static_cast<uint32_t>(width), 4) +
                        Le(static_cast<uint32_t>(height), 4) + Le(1, 2) + Le(24, 2) + Le(0, 4) +
                        Le(stride * static_cast<uint32_t>(height), 4) + Le(2835, 4) + Le(2835, 4) +
                        Le(0, 4) + Le(0, 4);
    for (int32_t y = 0; y < height; ++y) {
        std::string row(stride, '\0');
        for (int32_t x = 0; x < width; ++x) {
            row[x * 3] = static_cast<char>(x * 40);
            row[x * 3 + 1] = static_cast<char>(y * 40);
            row[x * 3 + 2] = static_cast<char>(200);
        }
        block += row;
    }
    return block;
}

std::string MakeTempDir() {
    std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    pattern += "/paster-XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern : std::string();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::wstring Wide(const std::string& utf8) {
    return util::Utf8ToWide(utf8);
}

namespace {

// The settings the "ImgPst_" members write, restored after every test.
struct SavedConfig {
    std::string postUrl, encodeType, imageType;
    int32_t thumbWidth = 0, thumbHeight = 0;
};
SavedConfig g_saved;

}  // namespace

void PasterTest::SetUp() {
    InProcessPlugin::SetUp();
    const AppConfig& config = AppConfig::Instance();
    g_saved = SavedConfig{config.postUrl, config.encodeType, config.imageType, config.thumbWidth,
                          config.thumbHeight};
    previousClipboard_ = platform::CurrentClipboard();
    clipboard_ = std::make_shared<platform::MemoryClipboard>();
    platform::SetCurrentClipboard(clipboard_);
    tempDir_ = MakeTempDir();
    ASSERT_FALSE(tempDir_.empty());
    instance_ = &NewInstance();
}

void PasterTest::TearDown() {
    // Held uploads end first, so that destroying the instances never waits on the server.
    if (server_) server_->Release();
    InProcessPlugin::TearDown();
    server_.reset();
    platform::SetCurrentClipboard(previousClipboard_);
    AppConfig& config = AppConfig::Instance();
    config.postUrl = g_saved.postUrl;
    config.encodeType = g_saved.encodeType;
    config.imageType = g_saved.imageType;
    config.thumbWidth = g_saved.thumbWidth;
    config.thumbHeight = g_saved.thumbHeight;
    std::error_code ignored;
    if (!tempDir_.empty()) std::filesystem::remove_all(tempDir_, ignored);
}

UploadServer& PasterTest::server() {
    if (!server_) server_.reset(new UploadServer());
    return *server_;
}

bool PasterTest::WaitForCalls(const testhost::PageFunction& function, size_t count) {
    return host().RunUntil([&] { return function.CallCount() >= count; }, kWait);
}

}  // namespace pastertest
