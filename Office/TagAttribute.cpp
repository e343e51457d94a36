#include "Office/TagAttribute.h"

#include <cctype>
#include <cstring>

namespace {

// The tag as the parser reads it: a C string, which ends at its first NUL; reads at the end
// give that NUL.
class TagBytes {
  public:
    explicit TagBytes(std::string_view tag) : s_(tag) {
        const void* nul = std::memchr(tag.data(), '\0', tag.size());
        if (nul)
            s_ = tag.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - tag.data()));
    }
    size_t size() const { return s_.size(); }
    char operator[](size_t i) const { return i < s_.size() ? s_[i] : '\0'; }
    bool Space(size_t i) const { return std::isspace(static_cast<unsigned char>((*this)[i])) != 0; }
    bool Alnum(size_t i) const { return std::isalnum(static_cast<unsigned char>((*this)[i])) != 0; }
    bool Alpha(size_t i) const { return std::isalpha(static_cast<unsigned char>((*this)[i])) != 0; }
    size_t Find(char c, size_t from) const {
        return from < s_.size() ? s_.find(c, from) : std::string_view::npos;
    }
    std::string_view View(size_t from, size_t to) const { return s_.substr(from, to - from); }

  private:
    std::string_view s_;
};

}  // namespace

bool TagAttribute(std::string_view tag, std::string_view name, std::string& value) {
    value.clear();
    const TagBytes t(tag);
    const size_t n = t.size();
    const size_t npos = std::string_view::npos;
    size_t p = t.Find('<', 0);
    if (p == npos) return false;
    ++p;
    while (t.Space(p)) ++p;
    if (!t.Alpha(p)) return false;
    while (p < n && !t.Space(p) && t[p] != '>') ++p;  // the tag name
    while (t.Space(p)) ++p;
    while (p < n && t[p] != '>') {
        while (p < n && !t.Alnum(p) && !t.Space(p)) ++p;  // what cannot start a name
        while (t.Space(p)) ++p;
        size_t e = p;
        while (t.Alnum(e) || t[e] == '-') ++e;
        bool wanted = e - p == name.size();
        for (size_t k = 0; wanted && k < name.size(); ++k) {
            wanted = std::tolower(static_cast<unsigned char>(t[p + k])) ==
                     static_cast<unsigned char>(name[k]);
        }
        p = e;
        while (t.Space(p)) ++p;
        if (t[p] != '=') {
            if (wanted) return true;  // a name without a value
            continue;
        }
        ++p;
        while (t.Space(p)) ++p;
        size_t from = p;
        size_t to = p;
        if (t[p] == '"' || t[p] == '\'') {
            size_t end = t.Find(t[p], p + 1);
            if (end == npos) {
                const size_t blank = t.Find(' ', p + 1);
                end = t.Find('>', p + 1);
                if (end == npos) return false;
                if (blank != npos && blank < end) end = blank;
            }
            from = p + 1;
            while (t.Space(from) && from < end) ++from;
            to = end;
            while (to > from && t.Space(to - 1)) --to;
            p = end + 1;
        } else {
            while (to < n && !t.Space(to) && t[to] != '>') ++to;
            p = to;
        }
        if (wanted) {
            value.assign(t.View(from, to));
            return true;
        }
    }
    return false;
}
