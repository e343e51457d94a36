// quillon serve: the project's upload server. It stores the "file" part of every multipart
// POST in its folder under the part's file name, answers with the stored file's address, and
// serves the stored files back.
#include <httplib.h>

#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/quillon/Command.h"

namespace {

// Only a plain name is stored: no folders, nothing hidden, no control bytes.
bool IsSafeName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name[0] == '.') return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == '/' || c == '\\' || c == 0x7F) return false;
    }
    return true;
}

std::string ContentTypeOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "png") return "image/png";
    if (extension == "jpg" || extension == "jpeg") return "image/jpeg";
    if (extension == "gif") return "image/gif";
    if (extension == "bmp") return "image/bmp";
    if (extension == "txt") return "text/plain";
    return "application/octet-stream";
}

int Run(const std::vector<std::string>& args) {
    int port = 0;
    std::string folder = ".";
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size()) {
            port = std::atoi(args[++i].c_str());
        } else if (args[i] == "--dir" && i + 1 < args.size()) {
            folder = args[++i];
        } else {
            std::fprintf(stderr, "quillon serve: unknown argument '%s'\n", args[i].c_str());
            return 2;
        }
    }
    mkdir(folder.c_str(), 0755);

    httplib::Server server;
    int boundPort = 0;
    server.Post(".*", [&](const httplib::Request& request, httplib::Response& response) {
        if (!request.has_file("file")) {
            response.status = 400;
            response.set_content("no file part\n", "text/plain");
            return;
        }
        const httplib::MultipartFormData file = request.get_file_value("file");
        if (!IsSafeName(file.filename)) {
            response.status = 400;
            response.set_content("bad file name\n", "text/plain");
            return;
        }
        std::ofstream out(folder + "/" + file.filename, std::ios::binary | std::ios::trunc);
        out.write(file.content.data(), static_cast<std::streamsize>(file.content.size()));
        if (!out) {
            response.status = 500;
            response.set_content("cannot store the file\n", "text/plain");
            return;
        }
        response.set_content(
            "http://127.0.0.1:" + std::to_string(boundPort) + "/files/" + file.filename,
            "text/plain; charset=utf-8");
    });
    server.Get("/files/(.+)", [&](const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.matches[1];
        std::ifstream in(folder + "/" + name, std::ios::binary);
        if (!IsSafeName(name) || !in) {
            response.status = 404;
            return;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        response.set_content(bytes, ContentTypeOf(name).c_str());
    });

    boundPort = port == 0 ? server.bind_to_any_port("127.0.0.1")
                          : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (boundPort <= 0) {
        std::fprintf(stderr, "quillon serve: cannot listen on port %d\n", port);
        return 1;
    }
    std::printf("%d\n", boundPort);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}

Command cmd("serve", "serve [--port N] [--dir D] - upload server: stores posted files, serves them",
            &Run);

}  // namespace
