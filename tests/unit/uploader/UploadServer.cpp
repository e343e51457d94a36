#include "UploadServer.h"

#include <httplib.h>

#include <cstdio>

UploadServer::UploadServer() : server_(new httplib::Server()) {
    server_->Post("/upload", [this](const httplib::Request& request, httplib::Response& response) {
        ReceivedUpload upload;
        upload.at = std::chrono::steady_clock::now();
        upload.cookie = request.get_header_value("Cookie");
        for (const auto& part : request.files) {
            if (part.first == "file") {
                upload.fileName = part.second.filename;
                upload.bytes = part.second.content;
            } else {
                upload.fields[part.first] = part.second.content;
            }
        }
        std::unique_lock<std::mutex> lock(mutex_);
        uploads_.push_back(upload);
        ++held_;
        released_.wait_for(lock, std::chrono::seconds(10), [this] { return !hold_; });
        --held_;
        response.status = answerStatus_;
        response.set_content(answer_, "text/plain; charset=utf-8");
    });
    server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        ServedFile file;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = files_.find(request.path);
            if (it == files_.end()) {
                response.status = 404;
                return;
            }
            file = it->second;
        }
        if (file.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(file.delayMs));
        response.status = file.status;
        if (!file.disposition.empty()) response.set_header("Content-Disposition", file.disposition);
        response.set_content(file.bytes, file.contentType.c_str());
        std::lock_guard<std::mutex> lock(mutex_);
        ++downloads_;
        lastDownloadAt_ = std::chrono::steady_clock::now();
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

UploadServer::~UploadServer() {
    HoldUploads(false);
    server_->stop();
    thread_.join();
}

std::string UploadServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void UploadServer::SetUploadAnswer(const std::string& body, int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = body;
    answerStatus_ = status;
}

void UploadServer::HoldUploads(bool hold) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = hold;
    }
    released_.notify_all();
}

void UploadServer::Serve(const std::string& path, const ServedFile& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_[path] = file;
}

std::vector<ReceivedUpload> UploadServer::Uploads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return uploads_;
}

size_t UploadServer::UploadCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return uploads_.size();
}

size_t UploadServer::HeldUploads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
}

size_t UploadServer::Downloads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return downloads_;
}

std::chrono::steady_clock::time_point UploadServer::LastDownloadAt() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastDownloadAt_;
}

std::string Crc32Name(const std::string& bytes, const std::string& extension) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    char digits[9];
    std::snprintf(digits, sizeof digits, "%02x%02x%02x%02x", crc & 0xFF, (crc >> 8) & 0xFF,
                  (crc >> 16) & 0xFF, crc >> 24);
    return digits + extension;
}
