// The text-level pieces of the stylesheet parser (Office/css/CssParser.h): a forward-only
// scanner over the sheet, and the reading of selectors, names and values.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "Office/css/CssParser.h"

namespace quillon {
namespace css {
namespace text {

inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAscii(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

// NUL bytes count as white space so that they can neither end nor join tokens unexpectedly.
inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '\0';
}

inline bool IsNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || u >= 0x80;
}

inline bool StartsWith(const char* p, const char* end, const char* lit) {
    for (; *lit; ++p, ++lit) {
        if (p == end || *p != *lit) return false;
    }
    return true;
}

// Forward-only scanner over the sheet; every helper advances `p` and never moves it back, so the
// whole parse is linear in the input.
class Scanner {
  public:
    Scanner(const char* begin, const char* end) : p_(begin), end_(end) {}

    bool AtEnd() const { return p_ >= end_; }
    char Peek() const { return *p_; }
    const char* Pos() const { return p_; }
    const char* End() const { return end_; }
    void Advance() { ++p_; }
    void Set(const char* p) { p_ = p; }

    // Skips a comment starting at p_ ("/*" ... "*/", unterminated runs to the end).
    bool SkipComment() {
        if (!StartsWith(p_, end_, "/*")) return false;
        p_ += 2;
        while (p_ < end_ && !StartsWith(p_, end_, "*/")) ++p_;
        p_ = (p_ < end_) ? p_ + 2 : end_;
        return true;
    }

    // Skips a quoted string starting at p_. It ends at its closing quote, at a line break (a bad
    // string, as CSS has it, so that a stray quote cannot swallow the rest of the sheet) or at
    // the end. Answers false for a bad string.
    bool SkipString() {
        const char quote = *p_++;
        while (p_ < end_) {
            const char c = *p_;
            if (c == quote) {
                ++p_;
                return true;
            }
            if (c == '\n' || c == '\r' || c == '\f') return false;
            if (c == '\\' && p_ + 1 < end_) ++p_;
            ++p_;
        }
        return true;
    }

    // Skips white space, comments, the HTML comment markers allowed around a sheet and markup
    // (the sheet may arrive with the tags of the document head around it).
    void SkipTopLevelNoise() {
        while (p_ < end_) {
            if (IsSpace(*p_)) {
                ++p_;
            } else if (SkipComment()) {
            } else if (StartsWith(p_, end_, "<!--")) {
                p_ += 4;
            } else if (StartsWith(p_, end_, "-->")) {
                p_ += 3;
            } else if (*p_ == '<') {
                SkipMarkup();
            } else {
                return;
            }
        }
    }

    void SkipMarkup() {
        while (p_ < end_ && *p_ != '>') ++p_;
        if (p_ < end_) ++p_;
    }

    // Skips a block whose "{" is at p_, nested blocks, strings and comments included.
    void SkipBlock() {
        int depth = 0;
        while (p_ < end_) {
            const char c = *p_;
            if (c == '"' || c == '\'') {
                SkipString();
            } else if (SkipComment()) {
            } else {
                ++p_;
                if (c == '{') {
                    ++depth;
                } else if (c == '}' && --depth == 0) {
                    return;
                }
            }
        }
    }

    // Skips an at-rule at p_: up to its ";" or through its block.
    void SkipAtRule() {
        ++p_;
        while (p_ < end_) {
            const char c = *p_;
            if (c == ';') {
                ++p_;
                return;
            }
            if (c == '{') {
                SkipBlock();
                return;
            }
            if (c == '"' || c == '\'') {
                SkipString();
            } else if (!SkipComment()) {
                ++p_;
            }
        }
    }

  private:
    const char* p_;
    const char* end_;
};
// The text with comments removed and runs of white space outside strings made one blank,
// trimmed; `badString` (when given) is set for a string cut off by a line break.
std::string Normalize(const char* b, const char* e, bool* badString);

// Splits at `sep` found outside strings, comments, brackets and braces.
std::vector<std::pair<const char*, const char*>> SplitTopLevel(const char* b, const char* e,
                                                               char sep);

// A selector chain of compounds joined by white space (descendant); false for what the
// selector cannot hold (child and sibling combinators, attribute tests, several classes).
bool ParseChain(const std::string& text, std::vector<Parser::Selector>& chain);

}  // namespace text
}  // namespace css
}  // namespace quillon
