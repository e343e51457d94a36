// The lexical scan of htmlcxx's SAX parser, without its per-node copies: the parser builds a
// Node (three strings and an attribute map) for every text, tag and comment and hands it over
// by value, which dominates the conversion of large documents. This scan cuts the input at the
// very same places (raw-text elements such as <style> and <script> included) and reports each
// piece as offsets into the input. A differential test holds it to the parser on the corpus and
// on generated markup.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>

struct HtmlPiece {
    enum Kind : uint8_t { kText, kTag, kEndTag, kComment };
    uint32_t offset;
    uint32_t length;
    uint32_t nameLength;  // tags: the name starts at offset + 1 (+ 1 more for an end tag)
    Kind kind;
};

namespace html_scan {

// The C library's byte classes, as the parser asks them: ASCII bytes, whose classes every
// locale keeps, from a table (a library call per byte costs more than the scan's own work),
// the others from the library.
enum AsciiClass : uint8_t { kAlpha = 1, kDigit = 2, kSpace = 4 };
struct AsciiClasses {
    uint8_t of[128];
};
constexpr AsciiClasses MakeAsciiClasses() {
    AsciiClasses t{};
    for (int c = 0; c < 128; ++c) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) t.of[c] = kAlpha;
        if (c >= '0' && c <= '9') t.of[c] = kDigit;
        if (c == ' ' || (c >= '\t' && c <= '\r')) t.of[c] = kSpace;
    }
    return t;
}
constexpr AsciiClasses kAsciiClasses = MakeAsciiClasses();

inline bool Alpha(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 128 ? (kAsciiClasses.of[u] & kAlpha) != 0 : std::isalpha(u) != 0;
}
inline bool Alnum(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 128 ? (kAsciiClasses.of[u] & (kAlpha | kDigit)) != 0 : std::isalnum(u) != 0;
}
inline bool Space(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 128 ? (kAsciiClasses.of[u] & kSpace) != 0 : std::isspace(u) != 0;
}

// The input as the parser reads it: a read at the end gives the terminating NUL.
class Cursor {
  public:
    explicit Cursor(std::string_view s) : s_(s) {}
    char At(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }
    size_t Size() const { return s_.size(); }
    const char* Data() const { return s_.data(); }

  private:
    std::string_view s_;
};

// From just behind "<!--": past the "--" (blanks allowed) ">" that ends the comment.
inline size_t SkipComment(const Cursor& in, size_t c) {
    const size_t end = in.Size();
    while (c != end) {
        if (in.At(c++) == '-' && c != end && in.At(c) == '-') {
            const size_t d = c;
            while (++c != end && Space(in.At(c))) {
            }
            if (c == end || in.At(c++) == '>') break;
            c = d;
        }
    }
    return c;
}

// Past the first ">" that is not inside a quoted attribute value.
inline size_t SkipTag(const Cursor& in, size_t c) {
    const size_t end = in.Size();
    while (c != end && in.At(c) != '>') {
        if (in.At(c) != '=') {
            ++c;
            continue;
        }
        ++c;
        while (c != end && Space(in.At(c))) ++c;
        if (c == end) break;
        const char q = in.At(c);
        if (q == '"' || q == '\'') {
            const size_t save = c;
            ++c;
            const void* hit = std::memchr(in.Data() + c, q, end - c);
            c = hit ? static_cast<size_t>(static_cast<const char*>(hit) - in.Data()) : end;
            c = c != end ? c + 1 : save + 1;
        }
    }
    if (c != end) ++c;
    return c;
}

// The raw-text element (whose content the parser takes as text up to its own end tag) of
// that name, or null.
inline const char* RawTextElement(std::string_view name) {
    struct Name {
        const char* text;
        size_t size;
    };
    static constexpr Name kNames[] = {
        {"script", 6}, {"style", 5}, {"xmp", 3}, {"plaintext", 9}, {"textarea", 8}};
    for (const Name& n : kNames) {
        if (name.size() != n.size) continue;
        size_t i = 0;
        while (i < n.size && std::tolower(static_cast<unsigned char>(name[i])) == n.text[i]) ++i;
        if (i == n.size) return n.text;
    }
    return nullptr;
}

}  // namespace html_scan

// Calls sink(const HtmlPiece&) for each piece in document order; the pieces cover the input.
template <typename Sink>
void ScanHtml(std::string_view html, Sink&& sink) {
    using namespace html_scan;
    const Cursor in(html);
    const size_t end = in.Size();
    const char* rawText = nullptr;
    size_t begin = 0;
    auto emit = [&](HtmlPiece::Kind kind, size_t from, size_t to, size_t nameLength) {
        sink(HtmlPiece{static_cast<uint32_t>(from), static_cast<uint32_t>(to - from),
                       static_cast<uint32_t>(nameLength), kind});
    };
    auto NextLt = [&](size_t from) -> size_t {
        if (from >= end) return end;
        const void* hit = std::memchr(in.Data() + from, '<', end - from);
        return hit ? static_cast<size_t>(static_cast<const char*>(hit) - in.Data()) : end;
    };
    auto tag = [&](size_t from, size_t to) {
        size_t nameBegin = from + 1;
        const bool isEnd = in.At(nameBegin) == '/';
        if (isEnd) ++nameBegin;
        size_t nameEnd = nameBegin;
        while (nameEnd != to && Alnum(in.At(nameEnd))) ++nameEnd;
        if (!isEnd) {
            const char* raw = RawTextElement(html.substr(nameBegin, nameEnd - nameBegin));
            if (raw) rawText = raw;
        }
        emit(isEnd ? HtmlPiece::kEndTag : HtmlPiece::kTag, from, to, nameEnd - nameBegin);
    };
    while (begin != end) {
        size_t c = begin;
        while (c != end) {
            // Inside a raw-text element only its own end tag ends the text.
            while (rawText) {
                c = NextLt(c);
                if (c == end) {
                    if (c != begin) emit(HtmlPiece::kText, begin, c, 0);
                    return;
                }
                const size_t endText = c;
                ++c;
                if (in.At(c) == '/') {
                    ++c;
                    const char* l = rawText;
                    while (*l && std::tolower(static_cast<unsigned char>(in.At(c))) == *l) {
                        ++c;
                        ++l;
                    }
                    if (!*l && std::strcmp(rawText, "plaintext") != 0) {
                        while (Space(in.At(c))) ++c;
                        if (in.At(c) == '>') {
                            if (begin != endText) emit(HtmlPiece::kText, begin, endText, 0);
                            rawText = nullptr;
                            c = endText;
                            begin = c;
                            break;
                        }
                    }
                } else if (in.At(c) == '!') {
                    size_t e = c + 1;
                    if (e != end && in.At(e) == '-' && ++e != end && in.At(e) == '-') {
                        c = SkipComment(in, e + 1);
                    }
                }
            }
            if (in.At(c) == '<') {
                size_t d = c + 1;
                if (d != end) {
                    const char next = in.At(d);
                    if (Alpha(next)) {
                        if (begin != c) emit(HtmlPiece::kText, begin, c, 0);
                        d = SkipTag(in, d);
                        tag(c, d);
                        c = d;
                        begin = c;
                        break;
                    }
                    if (next == '/') {
                        if (begin != c) emit(HtmlPiece::kText, begin, c, 0);
                        const size_t e = d + 1;
                        const bool conforming = e != end && Alpha(in.At(e));
                        d = SkipTag(in, d);
                        if (conforming) {
                            tag(c, d);
                        } else {
                            emit(HtmlPiece::kComment, c, d, 0);
                        }
                        c = d;
                        begin = c;
                        break;
                    }
                    if (next == '!') {
                        if (begin != c) emit(HtmlPiece::kText, begin, c, 0);
                        size_t e = d + 1;
                        if (e != end && in.At(e) == '-' && ++e != end && in.At(e) == '-') {
                            d = SkipComment(in, e + 1);
                        } else {
                            d = SkipTag(in, d);
                        }
                        emit(HtmlPiece::kComment, c, d, 0);
                        c = d;
                        begin = c;
                        break;
                    }
                    if (next == '?' || next == '%') {
                        if (begin != c) emit(HtmlPiece::kText, begin, c, 0);
                        d = SkipTag(in, d);
                        emit(HtmlPiece::kComment, c, d, 0);
                        c = d;
                        begin = c;
                        break;
                    }
                }
            }
            // Only a "<" can start anything else.
            c = NextLt(c + 1);
        }
        if (begin != c) {
            emit(HtmlPiece::kText, begin, c, 0);
            begin = c;
        }
    }
}

// The number of pieces ScanHtml cuts: what lists of pieces reserve. Counting '<' instead would
// reserve for a node per byte on a text of mostly '<', which is nothing but one text piece.
inline size_t CountHtmlPieces(std::string_view html) {
    size_t pieces = 0;
    ScanHtml(html, [&pieces](const HtmlPiece&) { ++pieces; });
    return pieces;
}

namespace html_scan {

// The "<" whose next byte passes `starts`, counted in one pass of memchr, and the cap of the
// bounds below: a node per 16 bytes (markup denser than that only makes the lists grow), so
// that a text of "<a" repeated reserves no more than its own size.
template <typename Starts>
size_t CountStarts(std::string_view html, Starts&& starts, size_t& cap) {
    size_t count = 0;
    const char* p = html.data();
    const char* const end = p + html.size();
    while (p != end) {
        const void* hit = std::memchr(p, '<', static_cast<size_t>(end - p));
        if (!hit) break;
        p = static_cast<const char*>(hit) + 1;
        if (p != end && starts(*p)) ++count;
    }
    cap = html.size() / 16 + 64;
    return count;
}

}  // namespace html_scan

// A bound on the number of tags (not end tags) ScanHtml cuts: each starts at a "<" followed by
// a letter. It is exact but for such texts inside comments, quoted values and raw text.
inline size_t HtmlTagsBound(std::string_view html) {
    size_t cap = 0;
    const size_t starts = html_scan::CountStarts(html, html_scan::Alpha, cap);
    return starts < cap ? starts : cap;
}

// A bound on the number of pieces ScanHtml cuts, for the lists of pieces to reserve, read
// without a scan: every piece but a text starts at a "<" followed by a letter, "/", "!", "?" or
// "%", and no text follows a text. A text of mostly "<" is one text piece and reserves next to
// nothing.
inline size_t HtmlPiecesBound(std::string_view html) {
    size_t cap = 0;
    const size_t starts = html_scan::CountStarts(
        html,
        [](char c) { return html_scan::Alpha(c) || c == '/' || c == '!' || c == '?' || c == '%'; },
        cap);
    return 2 * starts + 1 < cap ? 2 * starts + 1 : cap;
}
