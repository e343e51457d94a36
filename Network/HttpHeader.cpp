#include "Network/HttpHeader.h"

HttpHeader::HttpHeader()
    : boundary_("---------------------------7da1d41060a1a"), contentType_("multipart/form-data") {
    Set("Content-Type", contentType_ + "; boundary=" + boundary_);
    Set("Accept", "*/*");
}

void HttpHeader::SetBoundary(const std::string& boundary) {
    boundary_ = boundary;
    Set("Content-Type", contentType_ + "; boundary=" + boundary_);
}

void HttpHeader::Set(const std::string& name, const std::string& value) {
    if (value.empty()) return;
    headers_[name] = value;
}

void HttpHeader::Remove(const std::string& name) {
    headers_.erase(name);
}

std::string HttpHeader::ToString() const {
    std::string text;
    for (const auto& header : headers_) text += header.first + ": " + header.second + "\r\n";
    return text;
}
