// Multi-megabyte buffers of a paste (its text, the converter's working copies and tag lists,
// the event text) are written once from start to end. With 4 KiB pages each one costs a page
// fault per 4 KiB, which on a virtual machine costs more than the copy itself; backed by huge
// pages where the system gives them on request, it costs one fault per 2 MiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Asks for huge pages over the whole huge pages inside [data, data + bytes). Does nothing for
// a small range, or where the system has no such request; never fails.
void AdviseHugePages(const void* data, size_t bytes);

// Gives the whole pages inside [data, data + bytes) back to the system; reading them again
// gives zeros. For the unused end of a buffer that shrank in place. Does nothing where the
// system has no such request.
void ReleasePages(void* data, size_t bytes);

// Gives the pages of the heap's free blocks back to the system: a conversion frees megabytes of
// lists and nodes in the middle of the heap, which would otherwise stay resident beside the
// event text built next. Does nothing where the allocator keeps no such pages.
void ReleaseFreeHeapPages();

// The pages of a string's spare capacity (behind its terminating zero), which the bytes of a
// longer text it once held keep resident.
inline void ReleaseSpareCapacity(std::string& text) {
    ReleasePages(&text[0] + text.size() + 1, text.capacity() - text.size());
}

// reserve(count), then the advice over the buffer's pages, which are still untouched when the
// buffer is new. A buffer reserved with room to grow gets the advice only over the `used`
// elements it will hold for certain: a huge page is resident as a whole once touched.
template <class Buffer>
void ReserveLarge(Buffer& buffer, size_t count, size_t used = SIZE_MAX) {
    buffer.reserve(count);
    const size_t advised = used < buffer.capacity() ? used : buffer.capacity();
    AdviseHugePages(buffer.data(), advised * sizeof(*buffer.data()));
}

}  // namespace platform
