#include "Office/css/CssParser.h"

#include <tuple>

namespace quillon {
namespace css {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

// NUL bytes count as white space so that they can neither end nor join tokens unexpectedly.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '\0';
}

bool IsNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || u >= 0x80;
}

bool StartsWith(const char* p, const char* end, const char* lit) {
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

bool EndsWithImportant(std::string& value) {
    std::size_t end = value.size();
    static const char kWord[] = "important";
    const std::size_t wordLen = sizeof(kWord) - 1;
    if (end < wordLen + 1) return false;
    for (std::size_t k = 0; k < wordLen; ++k) {
        if (LowerAscii(value[end - wordLen + k]) != kWord[k]) return false;
    }
    std::size_t bang = end - wordLen;
    while (bang > 0 && value[bang - 1] == ' ') --bang;
    if (bang == 0 || value[bang - 1] != '!') return false;
    --bang;
    while (bang > 0 && value[bang - 1] == ' ') --bang;
    value.erase(bang);
    return true;
}

}  // namespace

Parser::Selector::Selector(const std::string& element, const std::string& id,
                           const std::string& eclass, PseudoClass pc, PseudoElement pe)
    : element_(LowerAscii(element)),
      id_(LowerAscii(id)),
      class_(LowerAscii(eclass)),
      pseudoClass_(pc),
      pseudoElement_(pe) {}

void Parser::Selector::setElement(const std::string& str) {
    element_ = LowerAscii(str);
}
void Parser::Selector::setId(const std::string& str) {
    id_ = LowerAscii(str);
}
void Parser::Selector::setClass(const std::string& str) {
    class_ = LowerAscii(str);
}
void Parser::Selector::setPseudoClass(PseudoClass p) {
    pseudoClass_ = p;
}
void Parser::Selector::setPseudoElement(PseudoElement p) {
    pseudoElement_ = p;
}
void Parser::Selector::setPseudoName(const std::string& str) {
    pseudoName_ = LowerAscii(str);
}

bool Parser::Selector::match(const Selector& s) const {
    if (element_.empty()) return false;
    if (!s.element_.empty() && s.element_ != element_) return false;
    return id_ == s.id_ && class_ == s.class_ && pseudoClass_ == s.pseudoClass_ &&
           pseudoElement_ == s.pseudoElement_ && pseudoName_ == s.pseudoName_;
}

bool Parser::Selector::operator==(const Selector& s) const {
    return element_ == s.element_ && id_ == s.id_ && class_ == s.class_ &&
           pseudoClass_ == s.pseudoClass_ && pseudoElement_ == s.pseudoElement_ &&
           pseudoName_ == s.pseudoName_;
}

bool Parser::Selector::operator<(const Selector& s) const {
    return std::tie(element_, id_, class_, pseudoClass_, pseudoElement_, pseudoName_) <
           std::tie(s.element_, s.id_, s.class_, s.pseudoClass_, s.pseudoElement_, s.pseudoName_);
}

bool Parser::match(const std::vector<Selector>& selector, const std::vector<Selector>& path) {
    if (selector.empty() || path.empty() || !path[0].match(selector[0])) return false;
    std::size_t j = 1;
    for (std::size_t k = 1; k < selector.size(); ++k) {
        while (j < path.size() && !path[j].match(selector[k])) ++j;
        if (j == path.size()) return false;
        ++j;
    }
    return true;
}

bool Parser::parse(const std::string& css) {
    return parse(css.data(), css.size());
}

bool Parser::parse(const char* buf, std::size_t len) {
    if (!buf) return false;
    bool any = false;
    Scanner s(buf, buf + len);
    while (true) {
        s.SkipTopLevelNoise();
        if (s.AtEnd()) break;
        const char c = s.Peek();
        if (c == '@') {
            s.SkipAtRule();
            continue;
        }
        if (c == '}' || c == ';') {  // stray closer left by broken input
            s.Advance();
            continue;
        }
        // Prelude up to "{"; markup or a stray "}" inside means it was not a selector.
        const char* preludeBegin = s.Pos();
        bool broken = false;
        while (!s.AtEnd() && s.Peek() != '{') {
            const char d = s.Peek();
            if (d == '<' || d == '}') {
                broken = true;
                break;
            }
            if (d == '"' || d == '\'') {
                s.SkipString();
            } else if (!s.SkipComment()) {
                s.Advance();
            }
        }
        if (broken) continue;
        if (s.AtEnd()) break;  // a selector without a block adds nothing
        const char* preludeEnd = s.Pos();
        s.Advance();

        // Declaration block up to its "}" (an unterminated block ends with the input). An
        // unquoted "<" means markup, not a sheet: the block is dropped there.
        const char* blockBegin = s.Pos();
        int depth = 0;
        while (!s.AtEnd()) {
            const char d = s.Peek();
            if (d == '}' && depth == 0) break;
            if (d == '<') {
                broken = true;
                break;
            }
            if (d == '"' || d == '\'') {
                s.SkipString();
                continue;
            }
            if (s.SkipComment()) continue;
            if (d == '{') ++depth;
            if (d == '}') --depth;
            s.Advance();
        }
        const char* blockEnd = s.Pos();
        if (!s.AtEnd() && s.Peek() == '}') s.Advance();
        if (broken) continue;

        std::vector<std::vector<Selector>> chains;
        for (const auto& part : SplitTopLevel(preludeBegin, preludeEnd, ',')) {
            std::vector<Selector> chain;
            if (ParseChain(Normalize(part.first, part.second, nullptr), chain)) {
                chains.push_back(chain);
            }
        }
        if (chains.empty()) continue;

        std::vector<std::pair<std::string, Value>> declarations;
        for (const auto& decl : SplitTopLevel(blockBegin, blockEnd, ';')) {
            const auto colon = SplitTopLevel(decl.first, decl.second, ':');
            if (colon.size() < 2) continue;
            const std::string name =
                LowerAscii(Normalize(colon[0].first, colon[0].second, nullptr));
            if (name.empty()) continue;
            bool nameOk = true;
            for (char n : name) nameOk = nameOk && IsNameChar(n);
            if (!nameOk) continue;
            bool badString = false;
            Value value;
            value.text = Normalize(colon[1].first, decl.second, &badString);
            if (badString) continue;
            value.important = EndsWithImportant(value.text);
            if (value.text.empty()) continue;
            declarations.emplace_back(name, value);
        }
        if (declarations.empty()) continue;

        for (const auto& chain : chains) {
            auto inserted = rules_.emplace(chain, std::map<std::string, Value>());
            if (inserted.second && chain.size() == 1) {
                singleByClass_[chain[0].eclass()].insert(inserted.first);
            }
            for (const auto& d : declarations) inserted.first->second[d.first] = d.second;
        }
        any = true;
    }
    return any;
}

std::map<std::string, std::string> Parser::getAttributes(const std::vector<Selector>& path) const {
    std::map<std::string, std::string> out;
    if (path.size() == 1) {
        const auto candidates = singleByClass_.find(path[0].eclass());
        if (candidates == singleByClass_.end()) return out;
        for (const auto& rule : candidates->second) {
            if (!match(rule->first, path)) continue;
            for (const auto& prop : rule->second) out[prop.first] = prop.second.text;
        }
        return out;
    }
    for (const auto& rule : rules_) {
        if (!match(rule.first, path)) continue;
        for (const auto& prop : rule.second) out[prop.first] = prop.second.text;
    }
    return out;
}

}  // namespace css
}  // namespace quillon
