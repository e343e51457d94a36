#include "ServeProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

ServeProcess::ServeProcess(const std::vector<std::string>& options) {
    char pattern[] = "/tmp/quillon-serve-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    folder_ = std::string(pattern) + "/uploads";
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> args = {QUILLON_BINARY_DIR "/quillon", "serve", "--dir", folder_};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) throw std::runtime_error("quillon serve did not start");
}

ServeProcess::~ServeProcess() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    const std::string root = folder_.substr(0, folder_.rfind('/'));
    (void)!std::system(("rm -rf '" + root + "'").c_str());
}

long ServeProcess::PeakResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string word;
    while (status >> word) {
        if (word == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

int ConnectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendText(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t sent = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

std::string ReadUntilClosed(int fd, double seconds, bool* closed) {
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    std::string answer;
    *closed = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        pollfd entry = {fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            return answer;
        }
        char bytes[4096];
        const ssize_t got = recv(fd, bytes, sizeof bytes, 0);
        if (got <= 0) {
            *closed = true;
            return answer;
        }
        answer.append(bytes, static_cast<size_t>(got));
    }
}

int StatusOf(const std::string& answer) {
    if (answer.compare(0, 9, "HTTP/1.1 ") != 0) return 0;
    return std::atoi(answer.c_str() + 9);
}
