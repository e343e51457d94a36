// Picks the multipart boundary of one upload. The fixed boundary is kept while nothing in the
// content spells it (servers and stored captures rely on it); when the file, a field or the
// file name holds it, the first of two random boundaries that occurs nowhere is used. The file
// is fed in pieces as it is read, in any piece sizes; fields and names are checked whole.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class BoundaryChoice {
  public:
    explicit BoundaryChoice(const std::string& fixed);

    // The next bytes of the file; a boundary split across two pieces is still found.
    void Feed(const char* data, size_t length);
    // A text sent apart from the file: a field name or value, the file name.
    void Check(const std::string& text);
    // The first candidate seen nowhere; "" when every one was seen.
    std::string Chosen() const;

  private:
    bool Contains(size_t candidate, const char* begin, const char* end) const;
    void Search(const char* begin, const char* end);

    std::vector<std::string> candidates_;
    std::vector<bool> seen_;
    size_t longest_ = 0;
    // The last longest_ - 1 bytes fed, for a boundary that spans two pieces.
    std::string carry_;
};
