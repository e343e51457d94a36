// The extra request header lines of an upload: the multipart content type with its boundary
// (the fixed one unless the body had to use another), "Accept" and the configured cookie,
// written in byte order of their names.
#pragma once

#include <map>
#include <string>

class HttpHeader {
  public:
    HttpHeader();
    virtual ~HttpHeader() = default;

    // An empty value is ignored; otherwise the value of `name` is replaced or added.
    void Set(const std::string& name, const std::string& value);
    // An empty cookie adds no "Cookie" line.
    void SetCookie(const std::string& value) { Set("Cookie", value); }
    void Remove(const std::string& name);
    // "Name: value\r\n" per header, in byte order of the names.
    std::string ToString() const;

    const std::string& GetBoundary() const { return boundary_; }
    // The boundary a request actually uses, stated in its Content-Type line.
    void SetBoundary(const std::string& boundary);

  private:
    std::string boundary_;
    std::string contentType_;
    std::map<std::string, std::string> headers_;
};
