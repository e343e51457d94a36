// A growable in-memory file. Without a caller buffer it owns its storage, which grows in
// 64 KiB steps as bytes are written past the capacity.
#pragma once

#include <cstddef>
#include <cstdint>

class MemFile {
  public:
    // Over the caller's buffer of `size` bytes (not owned, never grown), or, with no buffer,
    // over storage of its own made by Open.
    explicit MemFile(uint8_t* buffer = nullptr, uint32_t size = 0);
    virtual ~MemFile();
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    // Starts empty storage of its own; false when the file already has a buffer.
    bool Open();
    // Frees owned storage.
    virtual bool Close();
    // Copies out at most size * count bytes between the position and the end; returns the
    // number of whole items read.
    virtual size_t Read(void* buffer, size_t size, size_t count);
    // Copies size * count bytes in at the position; returns the number of items written.
    virtual size_t Write(const void* buffer, size_t size, size_t count);
    // origin 0: start, 1: current position, 2: end. A negative result is clamped to 0.
    virtual bool Seek(int32_t offset, int origin);
    virtual int32_t Tell();
    // The largest position written, or -1 without a buffer.
    virtual int32_t Size();
    virtual bool Flush() { return true; }
    virtual bool Eof();
    virtual int32_t Error() { return buffer_ == nullptr; }
    virtual bool PutC(unsigned char c);
    // The next byte, or -1 at the end.
    virtual int32_t GetC();
    // Reads up to n - 1 bytes, stopping after a line feed; null at the end.
    virtual char* GetS(char* string, int32_t n);
    // Not supported: reads nothing.
    virtual int32_t Scanf(const char*, void*) { return 0; }

    // Grows owned storage to hold at least `capacity` bytes, so that a body whose size is
    // known ahead is built without copying it again.
    bool Reserve(uint32_t capacity);
    // The storage; with detach the caller takes it over (free it with free()).
    uint8_t* GetBuffer(bool detach = true);

  private:
    bool Grow(uint64_t needed);

    uint8_t* buffer_;
    uint32_t size_;
    bool owns_;
    uint32_t position_;
    uint32_t capacity_;
};
