#include "platform/clipboard/win32/DropFileList.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace platform {
namespace win32 {
namespace {

// The names up to the list's end, the empty name after the last one, in `unit`-byte
// characters; false when the block ends first.
bool CountNames(const unsigned char* list, size_t size, size_t unit, size_t& count) {
    count = 0;
    bool nameStart = true;
    for (size_t at = 0; at + unit <= size; at += unit) {
        const bool nul = unit == 1 ? list[at] == 0 : (list[at] == 0 && list[at + 1] == 0);
        if (nul && nameStart) return true;
        if (nul) ++count;
        nameStart = nul;
    }
    return false;
}

}  // namespace

bool CountDropFiles(const unsigned char* block, size_t size, size_t& count) {
    count = 0;
    if (!block || size < sizeof(DROPFILES)) return false;
    DROPFILES header;
    std::memcpy(&header, block, sizeof header);
    if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= size) return false;
    return CountNames(block + header.pFiles, size - header.pFiles, header.fWide ? 2 : 1, count);
}

bool ReadDropFiles(HGLOBAL block, size_t maxBytes, std::vector<std::wstring>& paths) {
    if (!block) return false;
    const SIZE_T size = GlobalSize(block);
    if (size == 0 || size > maxBytes) return false;
    const void* data = GlobalLock(block);
    if (!data) return false;
    size_t count = 0;
    bool ok = CountDropFiles(static_cast<const unsigned char*>(data), size, count);
    std::vector<std::wstring> found;
    if (ok) {
        HDROP drop = static_cast<HDROP>(block);
        ok = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) >= count;
        try {
            for (UINT i = 0; i < count && ok; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring path(length + 1, L'\0');
                const UINT copied = DragQueryFileW(drop, i, &path[0], length + 1);
                ok = copied == length;
                path.resize(copied);
                found.push_back(std::move(path));
            }
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    GlobalUnlock(block);
    if (!ok || found.empty()) return false;
    paths.swap(found);
    return true;
}

}  // namespace win32
}  // namespace platform
