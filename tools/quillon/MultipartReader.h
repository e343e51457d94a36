// A multipart/form-data body read as it arrives: each part's bytes go to a sink in pieces, so
// a large file part is never held in memory.
#pragma once

#include <cstddef>
#include <string>

struct PartHead {
    std::string name;      // the Content-Disposition name
    std::string fileName;  // its filename parameter, "" without one
};

class MultipartReader {
  public:
    class Sink {
      public:
        virtual ~Sink() = default;
        // Each returns false to stop reading (the body then counts as refused).
        virtual bool Begin(const PartHead& part) = 0;
        virtual bool Data(const char* bytes, size_t n) = 0;
        virtual bool End() = 0;
    };

    MultipartReader(const std::string& boundary, Sink* sink);

    // False once the body is malformed or the sink refused; later calls then do nothing.
    bool Feed(const char* bytes, size_t n);
    // The closing delimiter has been read.
    bool Complete() const { return state_ == State::kDone; }

  private:
    enum class State { kPreamble, kAfterDelimiter, kPartHead, kPartData, kDone, kFailed };
    bool Step();
    bool Fail();

    const std::string delimiter_;  // CRLF "--" boundary
    Sink* sink_;
    State state_ = State::kPreamble;
    std::string buffer_;  // bytes not yet handed on: at most one piece plus a delimiter
};

// The boundary parameter of a multipart/form-data content type, or "" when there is none.
std::string MultipartBoundary(const std::string& contentType);
