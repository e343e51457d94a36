// Reading the JSON documents of "Init" and "FileUploader_Init": parsing, the key-type
// conversions with their failure texts, the "fields" member and both "config" objects.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>

#include "config/FormFields.h"

namespace config {

// Parses the text (comments allowed); false when it is not JSON or not an object.
bool ParseDocument(const std::string& text, Json::Value& root);

// Key-type conversions. Each reads the member (or the default when absent); on failure it
// returns false with the library's failure text in `error`.
bool ReadString(const Json::Value& object, const char* key, const std::string& fallback,
                std::string& out, std::string& error);
bool ReadBool(const Json::Value& object, const char* key, bool fallback, bool& out);
bool ReadInt(const Json::Value& object, const char* key, int32_t fallback, int32_t& out,
             std::string& error);
// A string such as "120" converted like atoi.
bool ReadDecimalText(const Json::Value& object, const char* key, const std::string& fallback,
                     int32_t& out, std::string& error);

// Adds each member of "fields" (in byte order of the names, read as string) unless the name is
// already present. Stops at the first value that is not convertible; earlier ones stay added.
bool AddFields(const Json::Value& fields, FormFieldMap& target, std::string& error);

// The "config" object of "Init".
struct InitConfig {
    std::string postUrl;
    bool debug = false;
    std::string logFile;
    std::string session;
};
bool ReadInitConfig(const Json::Value& config, InitConfig& out, std::string& error);

// The "config" object of "FileUploader_Init".
struct UploaderConfig {
    std::string postUrl;
    std::string pathLoc;
    int32_t idLoc = 0;
    bool debug = false;
    std::string logFile;
    std::string cookie;
    int32_t width = 0;
    int32_t height = 0;
    int32_t thumbWidth = 0;
    int32_t thumbHeight = 0;
    // Read with the others and applied to nothing.
    std::string encodeType;
    std::string imageType;
    std::string jpgQuality = "100";
};
bool ReadUploaderConfig(const Json::Value& config, UploaderConfig& out, std::string& error);

// Applies an "Init" document to the process configuration and logging: "config" first, then
// "fields". Returns false (and `error`) when the document or a conversion failed; what was
// applied before the failure stays applied.
bool ApplyInitDocument(const std::string& text, std::string& error);

}  // namespace config
