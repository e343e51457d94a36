#include "Network/UploadFileSource.h"

#include <zlib.h>

#include <vector>

#include "platform/kernel/FileSystem.h"

namespace {

const size_t kScanPiece = 131072;

}  // namespace

UploadFileSource::UploadFileSource(const std::wstring& path) : path_(path) {}

UploadFileSource::~UploadFileSource() {
    if (file_) std::fclose(file_);
}

bool UploadFileSource::Fail(TransferFailure::Kind kind) {
    failure_ = TransferFailure::Of(kind, size_);
    return false;
}

int64_t UploadFileSource::MeasureOpen() const {
    return platform::SizeOfOpenFile(file_);
}

bool UploadFileSource::Open() {
    file_ = platform::OpenFile(path_, "rb");
    size_ = 0;
    if (!file_) return true;
    const int64_t size = MeasureOpen();
    if (size < 0) {
        std::fclose(file_);
        file_ = nullptr;
        return true;
    }
    size_ = size;
    if (size_ >= kMaxBytes) return Fail(TransferFailure::kFileTooLarge);
    return true;
}

bool UploadFileSource::Scan(BoundaryChoice& boundary) {
    uLong crc = crc32(0L, Z_NULL, 0);
    CryptoPP::SHA256 digest;
    if (file_) {
        std::vector<char> piece(kScanPiece);
        int64_t read = 0;
        for (;;) {
            const size_t n = std::fread(piece.data(), 1, piece.size(), file_);
            if (n == 0) break;
            read += static_cast<int64_t>(n);
            if (read > size_) return Fail(TransferFailure::kFileChanged);
            crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(n));
            digest.Update(reinterpret_cast<const CryptoPP::byte*>(piece.data()), n);
            boundary.Feed(piece.data(), n);
        }
        if (std::ferror(file_)) return Fail(TransferFailure::kFileUnreadable);
        if (read != size_) return Fail(TransferFailure::kFileChanged);
        if (fseeko(file_, 0, SEEK_SET) != 0) return Fail(TransferFailure::kFileUnreadable);
    }
    crc_ = static_cast<uint32_t>(crc);
    scanned_.resize(CryptoPP::SHA256::DIGESTSIZE);
    digest.Final(reinterpret_cast<CryptoPP::byte*>(&scanned_[0]));
    return true;
}

bool UploadFileSource::Read(char* buffer, size_t count) {
    if (!file_ || sent_ + static_cast<int64_t>(count) > size_)
        return Fail(TransferFailure::kFileChanged);
    if (std::fread(buffer, 1, count, file_) != count) return Fail(TransferFailure::kFileChanged);
    sending_.Update(reinterpret_cast<const CryptoPP::byte*>(buffer), count);
    sent_ += static_cast<int64_t>(count);
    if (sent_ < size_) return true;
    // The last chunk is held back until the whole second read is known to match the first.
    std::string digest(CryptoPP::SHA256::DIGESTSIZE, '\0');
    sending_.Final(reinterpret_cast<CryptoPP::byte*>(&digest[0]));
    if (digest != scanned_) return Fail(TransferFailure::kFileChanged);
    return true;
}
