#include "platform/kernel/Files.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/kernel/FileSystem.h"

namespace util {
namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr Open(const std::wstring& path, const char* mode) {
    return FilePtr(platform::OpenFile(path, mode));
}

}  // namespace

SharedBuffer SharedBuffer::Allocate(uint32_t count) {
    SharedBuffer b;
    b.data.reset(new char[static_cast<size_t>(count) + 1]());
    b.size = count;
    return b;
}

SharedBuffer SharedBuffer::FromString(const std::string& bytes) {
    SharedBuffer b = Allocate(static_cast<uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(b.data.get(), bytes.data(), bytes.size());
    return b;
}

int64_t FileSize(const std::wstring& path) {
    FilePtr f = Open(path, "rb");
    if (!f) return 0;
    const int64_t size = platform::SizeOfOpenFile(f.get());
    return size < 0 ? 0 : size;
}

SharedBuffer ReadWholeFile(const std::wstring& path) {
    FilePtr f = Open(path, "rb");
    if (!f) return SharedBuffer();
    const int64_t size = platform::SizeOfOpenFile(f.get());
    if (size < 0 || size >= std::numeric_limits<uint32_t>::max()) return SharedBuffer();
    SharedBuffer b = SharedBuffer::Allocate(static_cast<uint32_t>(size));
    // A file that shrank while being read keeps the count of what was read.
    b.size = static_cast<uint32_t>(std::fread(b.data.get(), 1, static_cast<size_t>(size), f.get()));
    return b;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    FilePtr f = Open(path, "wb");
    if (!f) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        return false;
    return std::fflush(f.get()) == 0;
}

}  // namespace util
