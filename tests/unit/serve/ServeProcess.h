// `quillon serve` started as a child process on a fresh upload folder, and raw loopback
// sockets to talk to it the way a slow or hostile client would.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ServeProcess {
  public:
    explicit ServeProcess(const std::vector<std::string>& options);
    ~ServeProcess();
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    int Port() const { return port_; }
    const std::string& Folder() const { return folder_; }
    // The server's peak resident memory (VmHWM) in KiB.
    long PeakResidentKiB() const;

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string folder_;
};

// A connected blocking loopback socket, or -1.
int ConnectTo(int port);
// Sends what it can; false once the server closed or reset the connection.
bool SendText(int fd, const std::string& text);
// Reads until the server closes or `seconds` pass; `closed` tells which.
std::string ReadUntilClosed(int fd, double seconds, bool* closed);
// The status code of an answer text, or 0.
int StatusOf(const std::string& answer);
