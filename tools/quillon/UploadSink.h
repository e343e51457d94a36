// Writes the first "file" part of a multipart body to a temporary file of the upload folder,
// and stores it under its file name once the whole body has been read.
#pragma once

#include <string>

#include "tools/quillon/MultipartReader.h"
#include "tools/quillon/UploadFolder.h"

class UploadSink : public MultipartReader::Sink {
  public:
    explicit UploadSink(UploadFolder& folder) : folder_(folder) {}
    ~UploadSink() override;  // removes a temporary file that was not stored

    bool Begin(const PartHead& part) override;
    bool Data(const char* bytes, size_t n) override;
    bool End() override;

    bool SawFilePart() const { return sawFilePart_; }
    bool BadName() const { return badName_; }
    bool WriteFailed() const { return writeFailed_; }
    const std::string& Name() const { return name_; }
    // Moves the written file to its name; false when there is none or it cannot be moved.
    bool Store();

  private:
    UploadFolder& folder_;
    bool sawFilePart_ = false;
    bool badName_ = false;
    bool writeFailed_ = false;
    bool written_ = false;
    int fd_ = -1;  // open while the file part's bytes arrive
    std::string name_;
    std::string temporaryPath_;
};
