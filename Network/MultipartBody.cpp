#include "Network/MultipartBody.h"

#include "Network/HttpHeader.h"
#include "platform/kernel/Text.h"

MultipartBody::MultipartBody() : boundary_(HttpHeader().GetBoundary()) {
    Open();
}

std::string MultipartBody::FileHeader(const std::string& fieldName,
                                      const std::wstring& fileName) const {
    return "--" + boundary_ + "\r\n" + "Content-Disposition: form-data; name=\"" + fieldName +
           "\"; filename=\"" + util::WideToAnsi(fileName) + "\"\r\n" +
           "Content-Type: application/octet-stream\r\n" +
           "Content-Transfer-Encoding: binary\r\n\r\n";
}

std::string MultipartBody::FieldText(const std::string& name, const std::string& value) const {
    return "--" + boundary_ + "\r\n" + "Content-Disposition: form-data; name=\"" + name +
           "\"\r\n\r\n" + value + "\r\n";
}

void MultipartBody::Append(const std::string& text) {
    if (!text.empty()) Write(text.data(), 1, text.size());
}

void MultipartBody::AddField(const std::string& name, const std::string& value) {
    Append(FieldText(name, value));
}

void MultipartBody::AddFile(const std::string& fieldName, const std::wstring& fileName,
                            const char* data, int32_t length) {
    AddFileHead(fieldName, fileName);
    if (data && length > 0) Write(data, 1, static_cast<size_t>(length));
    EndFile();
}

void MultipartBody::AddFileHead(const std::string& fieldName, const std::wstring& fileName) {
    Append(FileHeader(fieldName, fileName));
}

void MultipartBody::EndFile() {
    Append("\r\n");
}

void MultipartBody::End() {
    Append("--" + boundary_ + "--\r\n");
}

size_t MultipartBody::FilePartOverhead(const std::string& fieldName,
                                       const std::wstring& fileName) const {
    return FileHeader(fieldName, fileName).size() + 2;
}

size_t MultipartBody::FieldPartSize(const std::string& name, const std::string& value) const {
    return FieldText(name, value).size();
}

size_t MultipartBody::EndSize() const {
    return boundary_.size() + 6;
}
