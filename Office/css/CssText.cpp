#include "Office/css/CssText.h"

namespace quillon {
namespace css {
namespace text {

namespace {

// Reads a name (letters, digits, "-", "_", non-ASCII bytes, backslash escapes).
std::string ReadName(const std::string& text, std::size_t& i) {
    std::string name;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            name += text[i + 1];
            i += 2;
        } else if (IsNameChar(c)) {
            name += c;
            ++i;
        } else {
            break;
        }
    }
    return name;
}

// One compound selector ("p", "p.MsoNormal", ".x", "#id", "a:link", "*"); false when it uses
// what the selector cannot hold (attribute tests, several classes or ids).
bool ParseCompound(const std::string& text, Parser::Selector& sel) {
    std::size_t i = 0;
    bool haveClass = false, haveId = false, havePseudo = false;
    if (i < text.size() && text[i] == '*') {
        ++i;
    } else if (i < text.size() && text[i] != '.' && text[i] != '#' && text[i] != ':') {
        const std::string element = ReadName(text, i);
        if (element.empty()) return false;
        sel.setElement(element);
    }
    while (i < text.size()) {
        const char c = text[i++];
        if (c == '.' || c == '#') {
            const std::string name = ReadName(text, i);
            bool& seen = (c == '.') ? haveClass : haveId;
            if (name.empty() || seen) return false;
            seen = true;
            if (c == '.') {
                sel.setClass(name);
            } else {
                sel.setId(name);
            }
        } else if (c == ':') {
            const bool element = (i < text.size() && text[i] == ':');
            if (element) ++i;
            const std::string name = LowerAscii(ReadName(text, i));
            if (name.empty() || havePseudo) return false;
            if (i < text.size() && text[i] == '(') return false;  // :lang(...), :not(...)
            havePseudo = true;
            if (!element && name == "link") {
                sel.setPseudoClass(Parser::LINK);
            } else if (!element && name == "visited") {
                sel.setPseudoClass(Parser::VISITED);
            } else if (!element && name == "active") {
                sel.setPseudoClass(Parser::ACTIVE);
            } else if (name == "first-letter") {
                sel.setPseudoElement(Parser::FIRST_LETTER);
            } else if (name == "first-line") {
                sel.setPseudoElement(Parser::FIRST_LINE);
            } else {
                const bool isElement = element || name == "before" || name == "after";
                if (isElement) {
                    sel.setPseudoElement(Parser::OTHER_ELEMENT);
                } else {
                    sel.setPseudoClass(Parser::OTHER_CLASS);
                }
                sel.setPseudoName(name);
            }
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

// The text with comments removed and runs of white space outside strings made one blank, trimmed.
std::string Normalize(const char* b, const char* e, bool* badString) {
    std::string out;
    out.reserve(static_cast<std::size_t>(e - b));
    Scanner s(b, e);
    bool pendingSpace = false;
    while (!s.AtEnd()) {
        const char c = s.Peek();
        if (IsSpace(c)) {
            pendingSpace = true;
            s.Advance();
            continue;
        }
        if (s.SkipComment()) {
            pendingSpace = true;
            continue;
        }
        if (pendingSpace && !out.empty()) out += ' ';
        pendingSpace = false;
        if (c == '"' || c == '\'') {
            const char* start = s.Pos();
            if (!s.SkipString() && badString) *badString = true;
            out.append(start, s.Pos());
        } else {
            out += c;
            s.Advance();
        }
    }
    return out;
}

// Splits at `sep` found outside strings, comments, brackets and braces.
std::vector<std::pair<const char*, const char*>> SplitTopLevel(const char* b, const char* e,
                                                               char sep) {
    std::vector<std::pair<const char*, const char*>> parts;
    Scanner s(b, e);
    const char* start = b;
    int depth = 0;
    while (!s.AtEnd()) {
        const char c = s.Peek();
        if (c == '"' || c == '\'') {
            s.SkipString();
            continue;
        }
        if (s.SkipComment()) continue;
        if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if ((c == ')' || c == ']' || c == '}') && depth > 0) {
            --depth;
        } else if (c == sep && depth == 0) {
            parts.emplace_back(start, s.Pos());
            start = s.Pos() + 1;
        }
        s.Advance();
    }
    parts.emplace_back(start, e);
    return parts;
}
// A selector chain of compounds joined by white space (descendant). Sibling and child
// combinators have no meaning for htmlcxx's paths, so such selectors are dropped.
bool ParseChain(const std::string& text, std::vector<Parser::Selector>& chain) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        std::size_t j = i;
        while (j < text.size() && text[j] != ' ') {
            if (text[j] == '>' || text[j] == '+' || text[j] == '~' || text[j] == '[' ||
                text[j] == '"' || text[j] == '\'' || text[j] == ',' || text[j] == '(') {
                return false;
            }
            if (text[j] == '\\' && j + 1 < text.size()) ++j;
            ++j;
        }
        Parser::Selector sel;
        if (!ParseCompound(text.substr(i, j - i), sel)) return false;
        chain.push_back(sel);
        i = j;
    }
    return !chain.empty();
}
}  // namespace text
}  // namespace css
}  // namespace quillon
