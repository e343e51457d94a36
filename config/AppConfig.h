// The process-wide configuration record. The main thread reads and writes it; uploads on
// worker threads receive what they need (address, cookie, a snapshot of the fields) when
// they start.
#pragma once

#include <cstdint>
#include <string>

#include "config/FormFields.h"

class CxImage;
class CxMemFile;

class AppConfig {
  public:
    static AppConfig& Instance();
    virtual ~AppConfig() = default;

    int16_t jpegQuality = 100;       // the low 8 bits reach the DIB JPEG encoder
    int32_t maxFileSize = 10485760;  // uploads of larger files are refused
    int32_t thumbWidth = 0;
    int32_t thumbHeight = 0;
    std::string postUrl;  // UTF-8 (ANSI after "FileUploader_SetPostUrl")
    std::string encodeType = "UTF-8";
    std::string logFile;
    std::string imageType;
    std::string session;  // the cookie of the paste command's bitmap uploads
    FormFields fields = MakeFormFields();

    // Encodes a device-independent bitmap as JPEG into the memory file with the configured
    // quality modulo 256 (the image layer implements it).
    bool EncodeDibAsJpeg(CxMemFile& file, CxImage& image) const;

  private:
    AppConfig() = default;
    AppConfig(const AppConfig&) = delete;
    AppConfig& operator=(const AppConfig&) = delete;
};
