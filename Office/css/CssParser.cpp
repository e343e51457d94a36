#include "Office/css/CssParser.h"

#include <tuple>

#include "Office/css/CssText.h"

namespace quillon {
namespace css {

using namespace text;

namespace {

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

std::vector<std::string> Parser::singleRuleClasses() const {
    std::vector<std::string> out;
    for (const auto& entry : singleByClass_) out.push_back(entry.first);
    return out;
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
