#include "tools/quillon/UploadSink.h"

#include <unistd.h>

#include <cerrno>

UploadSink::~UploadSink() {
    if (fd_ >= 0) close(fd_);
    if (!temporaryPath_.empty()) unlink(temporaryPath_.c_str());
}

bool UploadSink::Begin(const PartHead& part) {
    // Only the first "file" part is stored; a bad name is answered once the body is read.
    if (part.name != "file" || sawFilePart_) return true;
    sawFilePart_ = true;
    name_ = part.fileName;
    if (!UploadFolder::IsSafeName(name_)) {
        badName_ = true;
        return true;
    }
    fd_ = folder_.CreateTemporary(&temporaryPath_);
    writeFailed_ = fd_ < 0;
    return !writeFailed_;
}

bool UploadSink::Data(const char* bytes, size_t n) {
    while (fd_ >= 0 && n > 0) {
        const ssize_t done = write(fd_, bytes, n);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            writeFailed_ = true;
            return false;
        }
        bytes += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

bool UploadSink::End() {
    if (fd_ < 0) return true;
    writeFailed_ = close(fd_) != 0;
    fd_ = -1;
    written_ = !writeFailed_;
    return written_;
}

bool UploadSink::Store() {
    if (!written_ || !folder_.Store(temporaryPath_, name_)) return false;
    temporaryPath_.clear();
    return true;
}
