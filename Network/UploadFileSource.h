// A local file uploaded from disk without being held in memory. It is read twice: once
// before the request, for the name's CRC-32, the boundary check and a SHA-256 digest, and
// once while the body goes out. The bytes sent must be the bytes scanned: when the second
// read comes up short or its digest differs at the last chunk, the request is stopped before
// that chunk leaves, so the server never receives a complete body.
#pragma once

#include <cryptopp/sha.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "Network/BoundaryChoice.h"
#include "Network/TransferFailure.h"

class UploadFileSource {
  public:
    // Files of this size or more cannot be counted in 32 bits and are refused.
    static constexpr int64_t kMaxBytes = int64_t(1) << 31;

    explicit UploadFileSource(const std::wstring& path);
    ~UploadFileSource();
    UploadFileSource(const UploadFileSource&) = delete;
    UploadFileSource& operator=(const UploadFileSource&) = delete;

    // Opens and measures the file without reading it. A file that cannot be opened counts as
    // empty (it is uploaded as 0 bytes); false only for one too large (Failure() says so).
    bool Open();
    int32_t Size() const { return static_cast<int32_t>(size_); }
    // The first read: every byte goes to `boundary`. False when the file could not be read
    // whole or changed size meanwhile.
    bool Scan(BoundaryChoice& boundary);
    uint32_t Crc() const { return crc_; }
    // The next `count` bytes of the second read, in order; false when the file changed.
    bool Read(char* buffer, size_t count);

    const TransferFailure& Failure() const { return failure_; }

  private:
    bool Fail(TransferFailure::Kind kind);
    int64_t MeasureOpen() const;

    std::wstring path_;
    std::FILE* file_ = nullptr;
    int64_t size_ = 0;
    int64_t sent_ = 0;
    uint32_t crc_ = 0;
    std::string scanned_;  // the SHA-256 of the first read
    CryptoPP::SHA256 sending_;
    TransferFailure failure_;
};
