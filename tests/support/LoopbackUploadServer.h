// A loopback HTTP server for upload tests whose multipart parser is not ours: it records every
// upload's file part and fields and answers with a text the test chooses.
#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackUploadServer {
  public:
    struct Upload {
        std::string fileName;
        std::string content;
        std::map<std::string, std::string> fields;
        std::string cookie;
    };

    LoopbackUploadServer() {
        server_.Post("/upload", [this](const httplib::Request& req, httplib::Response& res) {
            Upload up;
            if (req.has_file("file")) {
                const httplib::MultipartFormData file = req.get_file_value("file");
                up.fileName = file.filename;
                up.content = file.content;
            }
            for (const auto& part : req.files)
                if (part.first != "file") up.fields[part.first] = part.second.content;
            up.cookie = req.get_header_value("Cookie");
            std::lock_guard<std::mutex> lock(mutex_);
            uploads_.push_back(up);
            res.status = status_;
            res.set_content(response_ + up.fileName, "text/plain; charset=utf-8");
        });
        server_.Get(R"(/files/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = files_.find(req.matches[1].str());
            if (it == files_.end()) {
                res.status = 404;
                return;
            }
            res.set_content(it->second.first, it->second.second.c_str());
        });
        server_.Get(R"(/moved/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = redirects_.find(req.matches[1].str());
            if (it == redirects_.end()) {
                res.status = 404;
                return;
            }
            res.status = 302;
            res.set_header("Location", it->second);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::yield();
    }

    ~LoopbackUploadServer() {
        server_.stop();
        thread_.join();
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/upload"; }
    // The response is this text followed by the uploaded file name.
    void SetResponse(const std::string& prefix, int status = 200) {
        std::lock_guard<std::mutex> lock(mutex_);
        response_ = prefix;
        status_ = status;
    }
    // Serves the bytes at /files/NAME with Content-Length and the content type.
    std::string Serve(const std::string& name, const std::string& bytes,
                      const std::string& contentType) {
        std::lock_guard<std::mutex> lock(mutex_);
        files_[name] = std::make_pair(bytes, contentType);
        return "http://127.0.0.1:" + std::to_string(port_) + "/files/" + name;
    }
    // Answers GET /moved/NAME with a redirect (302) to `target`.
    std::string Redirect(const std::string& name, const std::string& target) {
        std::lock_guard<std::mutex> lock(mutex_);
        redirects_[name] = target;
        return "http://127.0.0.1:" + std::to_string(port_) + "/moved/" + name;
    }
    // "http://127.0.0.1:PORT", the origin of every address the server gives.
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<Upload> uploads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return uploads_;
    }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Upload> uploads_;
    std::map<std::string, std::pair<std::string, std::string>> files_;
    std::map<std::string, std::string> redirects_;
    std::string response_ = "http://127.0.0.1/files/";
    int status_ = 200;
};
