// The pieces every clipboard read is made of: OLE on the calling thread, the clipboard held
// open, and bounded copies of global memory blocks and streams.
#pragma once

#include <windows.h>
// windows.h first: the OLE headers build on its types.
#include <objidl.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {
namespace win32 {

// OLE initialised on this thread for the scope's life. OleInitialize nests: a thread that
// already has it (the browser's main thread) gets S_FALSE and the matching OleUninitialize
// only undoes this level, so the scope always uninitialises what it initialised. A thread in
// the multi-threaded apartment cannot use the OLE clipboard (RPC_E_CHANGED_MODE): Usable() is
// then false and the caller reads the clipboard directly.
class OleThreadScope {
  public:
    OleThreadScope();
    ~OleThreadScope();
    OleThreadScope(const OleThreadScope&) = delete;
    OleThreadScope& operator=(const OleThreadScope&) = delete;
    bool Usable() const { return initialised_; }

  private:
    bool initialised_ = false;
};

// The clipboard opened without an owner window. Another program may hold it for a moment, so
// opening is tried `attempts` times, `retryMs` apart, before giving up.
class OpenedClipboard {
  public:
    OpenedClipboard(int attempts, uint32_t retryMs);
    ~OpenedClipboard();
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    bool IsOpen() const { return open_; }

  private:
    bool open_ = false;
};

// The whole of a global memory block; false when it is empty, cannot be locked or is larger
// than `maxBytes`.
bool CopyGlobalBlock(HGLOBAL block, size_t maxBytes, std::string& bytes);
// A stream's content from its start; false when it cannot be read or exceeds `maxBytes`.
bool CopyStream(IStream* stream, size_t maxBytes, std::string& bytes);
// The data of a storage medium in global memory or a stream (the medium stays the caller's).
bool CopyMedium(const STGMEDIUM& medium, size_t maxBytes, std::string& bytes);

// One format of the OLE clipboard's data object, in one of the media `tymed` allows. The
// medium is released when the object goes. False from Get when OLE or the data object refuses.
class OleClipboardData {
  public:
    OleClipboardData() = default;
    ~OleClipboardData();
    OleClipboardData(const OleClipboardData&) = delete;
    OleClipboardData& operator=(const OleClipboardData&) = delete;
    bool Get(uint32_t format, DWORD tymed);
    const STGMEDIUM& Medium() const { return medium_; }

  private:
    void Release();

    IDataObject* object_ = nullptr;
    STGMEDIUM medium_ = {};
    bool haveMedium_ = false;
};

}  // namespace win32
}  // namespace platform
