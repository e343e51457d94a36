// The body of a multipart/form-data request, built in memory: parts, then the closing
// delimiter. Names and values are written as the bytes given; the file name is written in the
// ANSI code page.
#pragma once

#include <cstdint>
#include <string>

#include "Network/MemFile.h"

class MultipartBody : public MemFile {
  public:
    MultipartBody();

    void AddField(const std::string& name, const std::string& value);
    void AddFile(const std::string& fieldName, const std::wstring& fileName, const char* data,
                 int32_t length);
    // AddFile in two halves, for a file sent from its own buffer instead of being copied in:
    // the part's header, then (after the file's bytes, which the caller sends) its line end.
    void AddFileHead(const std::string& fieldName, const std::wstring& fileName);
    void EndFile();
    void End();

    // The bytes AddFile writes around `length` data bytes, and End's bytes: for reserving
    // the whole body ahead.
    size_t FilePartOverhead(const std::string& fieldName, const std::wstring& fileName) const;
    size_t FieldPartSize(const std::string& name, const std::string& value) const;
    size_t EndSize() const;

    const std::string& GetBoundary() const { return boundary_; }
    // Another boundary for the parts written after this call (before the first, normally).
    void SetBoundary(const std::string& boundary) { boundary_ = boundary; }

  private:
    std::string FileHeader(const std::string& fieldName, const std::wstring& fileName) const;
    std::string FieldText(const std::string& name, const std::string& value) const;
    void Append(const std::string& text);

    std::string boundary_;
};
