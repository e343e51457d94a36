#include "platform/clipboard/win32/ClipboardAccess.h"

#include <ole2.h>

#include <new>

namespace platform {
namespace win32 {

OleThreadScope::OleThreadScope() {
    const HRESULT hr = OleInitialize(nullptr);
    // S_OK and S_FALSE both count one level that OleUninitialize must undo.
    initialised_ = SUCCEEDED(hr);
}

OleThreadScope::~OleThreadScope() {
    if (initialised_) OleUninitialize();
}

OpenedClipboard::OpenedClipboard(int attempts, uint32_t retryMs) {
    for (int i = 0; i < attempts; ++i) {
        if (i > 0) Sleep(retryMs);
        if (OpenClipboard(nullptr)) {
            open_ = true;
            return;
        }
    }
}

OpenedClipboard::~OpenedClipboard() {
    if (open_) CloseClipboard();
}

bool CopyGlobalBlock(HGLOBAL block, size_t maxBytes, std::string& bytes) {
    if (!block) return false;
    const SIZE_T size = GlobalSize(block);
    if (size == 0 || size > maxBytes) return false;
    const void* data = GlobalLock(block);
    if (!data) return false;
    bool copied = true;
    try {
        bytes.assign(static_cast<const char*>(data), size);
    } catch (const std::bad_alloc&) {
        copied = false;
    }
    GlobalUnlock(block);
    return copied;
}

bool CopyStream(IStream* stream, size_t maxBytes, std::string& bytes) {
    if (!stream) return false;
    // The owner may hand the stream over positioned anywhere; the data starts at its start.
    LARGE_INTEGER start = {};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
    std::string data;
    try {
        char chunk[64 * 1024];
        for (;;) {
            ULONG read = 0;
            const HRESULT hr = stream->Read(chunk, sizeof chunk, &read);
            if (FAILED(hr)) return false;
            if (read > sizeof chunk || data.size() + read > maxBytes) return false;
            data.append(chunk, read);
            if (hr == S_FALSE || read == 0) break;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (data.empty()) return false;
    bytes.swap(data);
    return true;
}

bool CopyMedium(const STGMEDIUM& medium, size_t maxBytes, std::string& bytes) {
    switch (medium.tymed) {
        case TYMED_HGLOBAL:
            return CopyGlobalBlock(medium.hGlobal, maxBytes, bytes);
        case TYMED_ISTREAM:
            return CopyStream(medium.pstm, maxBytes, bytes);
        default:
            return false;
    }
}

OleClipboardData::~OleClipboardData() {
    Release();
}

void OleClipboardData::Release() {
    if (haveMedium_) ReleaseStgMedium(&medium_);
    haveMedium_ = false;
    medium_ = STGMEDIUM();
    if (object_) object_->Release();
    object_ = nullptr;
}

bool OleClipboardData::Get(uint32_t format, DWORD tymed) {
    Release();
    if (format == 0 || format > 0xFFFF) return false;  // not a clipboard format number
    if (FAILED(OleGetClipboard(&object_)) || !object_) {
        object_ = nullptr;
        return false;
    }
    FORMATETC request = {};
    request.cfFormat = static_cast<CLIPFORMAT>(format);
    request.ptd = nullptr;
    request.dwAspect = DVASPECT_CONTENT;
    request.lindex = -1;
    request.tymed = tymed;
    STGMEDIUM medium = {};
    if (FAILED(object_->GetData(&request, &medium))) return false;
    medium_ = medium;
    haveMedium_ = true;
    // A medium other than the ones asked for is of no use (it is still released).
    return (medium_.tymed & tymed) != 0;
}

}  // namespace win32
}  // namespace platform
