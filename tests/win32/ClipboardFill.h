// Filling the Windows clipboard the way other programs do, for the Windows tests: through OLE
// with a data object of the test's own (delayed rendering, answered by the owner thread's
// message loop) and through SetClipboardData with real memory blocks and handles.
#pragma once

#include <windows.h>
// windows.h first: the OLE and shell headers build on its types.
#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace clipfill {

inline HGLOBAL GlobalFromBytes(const std::string& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!block) return nullptr;
    void* data = GlobalLock(block);
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

// A DROPFILES block listing `paths` as wide names.
inline std::string DropFilesBlock(const std::vector<std::wstring>& paths) {
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    for (const std::wstring& path : paths)
        block.append(reinterpret_cast<const char*>(path.c_str()),
                     (path.size() + 1) * sizeof(wchar_t));
    block.append(sizeof(wchar_t), '\0');
    return block;
}

// A data object that offers fixed bytes per format, in global memory or as a stream.
class TestDataObject final : public IDataObject {
  public:
    struct Offer {
        UINT format;
        DWORD tymed;
        std::string bytes;
    };
    explicit TestDataObject(std::vector<Offer> offers) : offers_(std::move(offers)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* request, STGMEDIUM* medium) override {
        const Offer* offer = Find(request);
        if (!offer) return DV_E_FORMATETC;
        ++served_;
        *medium = STGMEDIUM();
        HGLOBAL block = GlobalFromBytes(offer->bytes);
        if (!block) return E_OUTOFMEMORY;
        if (offer->tymed == TYMED_HGLOBAL) {
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = block;
            return S_OK;
        }
        IStream* stream = nullptr;
        if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
            GlobalFree(block);
            return E_OUTOFMEMORY;
        }
        // Handed over positioned at its end, as some owners do.
        LARGE_INTEGER end = {};
        stream->Seek(end, STREAM_SEEK_END, nullptr);
        medium->tymed = TYMED_ISTREAM;
        medium->pstm = stream;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* request) override {
        return Find(request) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        for (const Offer& offer : offers_)
            formats.push_back({static_cast<CLIPFORMAT>(offer.format), nullptr, DVASPECT_CONTENT, -1,
                               offer.tymed});
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(formats.size()), formats.data(), out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

    int Served() const { return served_; }

  private:
    const Offer* Find(const FORMATETC* request) const {
        if (!request || request->dwAspect != DVASPECT_CONTENT) return nullptr;
        for (const Offer& offer : offers_)
            if (offer.format == request->cfFormat && (request->tymed & offer.tymed)) return &offer;
        return nullptr;
    }

    std::atomic<ULONG> refs_{1};
    std::atomic<int> served_{0};
    std::vector<Offer> offers_;
};

// The window that owns what the tests put on the clipboard directly.
inline HWND OwnerWindow() {
    static HWND window = CreateWindowExW(0, L"STATIC", L"clipboard test owner", 0, 0, 0, 0, 0,
                                         HWND_MESSAGE, nullptr, nullptr, nullptr);
    return window;
}

inline bool OpenAsOwner() {
    for (int i = 0; i < 50; ++i) {
        if (OpenClipboard(OwnerWindow())) return true;
        Sleep(10);
    }
    return false;
}

inline void ClearClipboard() {
    OleSetClipboard(nullptr);
    if (OpenAsOwner()) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// Replaces the clipboard's content with these handles (the clipboard takes them over).
inline bool SetDirect(const std::vector<std::pair<UINT, HANDLE>>& items) {
    OleSetClipboard(nullptr);
    if (!OpenAsOwner()) return false;
    bool ok = EmptyClipboard() != FALSE;
    for (const auto& item : items) ok = SetClipboardData(item.first, item.second) && ok;
    CloseClipboard();
    return ok;
}

// Puts a data object on the OLE clipboard; the caller's reference is handed over.
inline bool SetThroughOle(TestDataObject* object) {
    const HRESULT hr = OleSetClipboard(object);
    object->Release();
    return SUCCEEDED(hr);
}

// Runs `body` on a new thread while this thread answers its messages, as the owner of the
// OLE clipboard must for another thread to read it. False when the thread did not finish in
// ten seconds (it is then left running; the test fails).
inline bool RunWhilePumping(const std::function<void()>& body) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([body, done, finished] {
        body();
        *done = true;
        SetEvent(finished);
    });
    const DWORD start = GetTickCount();
    while (!*done && GetTickCount() - start < 10000) {
        MsgWaitForMultipleObjects(1, &finished, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    const bool ok = *done;
    if (ok)
        worker.join();
    else
        worker.detach();
    CloseHandle(finished);
    return ok;
}

}  // namespace clipfill
