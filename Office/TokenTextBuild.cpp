// Cutting the text into the tag list: which tags are indexed, and the texts that rule it out.
#include <algorithm>
#include <cctype>

#include "Office/HtmlScan.h"
#include "Office/TokenText.h"
#include "platform/kernel/LargeBuffer.h"

namespace {

const std::string::size_type npos = std::string::npos;

bool IsAlpha(char c) {
    return html_scan::Alpha(c);
}

bool IsSpace(char c) {
    return html_scan::Space(c);
}

// Case folding for the names of the indexed tags, which only decide what is indexed.
char FoldName(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 128) return static_cast<char>(std::tolower(u));
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The name of a tag text: what follows "<" or "</" up to a blank, "/" or ">".
std::string_view TagName(std::string_view tag) {
    size_t i = tag.size() > 1 && tag[1] == '/' ? 2 : 1;
    const size_t from = std::min(i, tag.size());
    while (i < tag.size() && tag[i] != '>' && tag[i] != '/' && !IsSpace(tag[i])) {
        ++i;
    }
    return tag.substr(from, i - from);
}

}  // namespace

// A tag text that the parser cuts the same way wherever it stands: "<" and a letter (or "</"
// and a letter), no other "<", every quoted value closed, ending at its first unquoted ">".
bool SelfDelimitedTag(std::string_view x) {
    if (x.size() < 3 || x[0] != '<' || x.back() != '>') return false;
    size_t i = 1;
    if (x[1] == '/') ++i;
    if (i >= x.size() || !IsAlpha(x[i])) return false;
    if (x.find('<', 1) != std::string_view::npos) return false;
    // The parser's tag scan: a quote right after "=" (and blanks) runs to its partner.
    while (i < x.size() && x[i] != '>') {
        if (x[i] != '=') {
            ++i;
            continue;
        }
        ++i;
        while (i < x.size() && IsSpace(x[i])) ++i;
        if (i == x.size()) return false;
        if (x[i] == '"' || x[i] == '\'') {
            const size_t close = x.find(x[i], i + 1);
            if (close == std::string_view::npos) return false;
            i = close + 1;
        }
    }
    return i == x.size() - 1;
}

std::unique_ptr<TokenText> TokenText::Create(std::string& text,
                                             const std::vector<std::string>& names) {
    std::unique_ptr<TokenText> t(new TokenText());
    t->names_ = names;
    t->owned_.swap(text);
    t->base_ = t->owned_;
    if (!t->Build()) {
        text.swap(t->owned_);
        return nullptr;
    }
    return t;
}

std::unique_ptr<TokenText> TokenText::CreateOver(std::string_view text,
                                                 const std::vector<std::string>& names) {
    std::unique_ptr<TokenText> t(new TokenText());
    t->names_ = names;
    t->base_ = text;
    if (!t->Build()) return nullptr;
    return t;
}

bool TokenText::Build() {
    if (base_.size() >= (size_t{1} << 31)) return false;
    // A token per piece; tags written inside texts and comments add more as they come.
    toks_.reserve(HtmlPiecesBound(base_));
    // Distinct tag texts run to a tenth of the tags of a Word text: fewer rehashes of a
    // large index, each of which visits every entry again.
    index_.reserve(toks_.capacity() / 32);
    bool ok = true;
    size_t covered = 0;
    ScanHtml(base_, [&](const HtmlPiece& piece) {
        if (!ok) return;
        if (piece.offset != covered) {
            ok = false;
            return;
        }
        covered += piece.length;
        const HtmlToken tok{piece.offset, piece.length,
                            piece.kind == HtmlPiece::kText      ? HtmlToken::kText
                            : piece.kind == HtmlPiece::kComment ? HtmlToken::kComment
                                                                : HtmlToken::kTag};
        if (tok.kind == HtmlToken::kTag) {
            ok = NoteInnerTags(tok);
            if (ok) Push(tok);
        } else {
            ok = SplitInnerTags(tok);
        }
    });
    if (!ok || covered != base_.size()) return false;
    const uint32_t n = static_cast<uint32_t>(toks_.size());
    platform::ReserveLarge(next_, n);
    platform::ReserveLarge(prev_, n);
    next_.resize(n);
    prev_.resize(n);
    for (uint32_t id = 0; id < n; ++id) {
        next_[id] = id + 1 < n ? id + 1 : kNone;
        prev_[id] = id > 0 ? id - 1 : kNone;
    }
    head_ = n > 0 ? 0 : kNone;
    return true;
}

void TokenText::Push(const HtmlToken& tok) {
    const uint32_t id = static_cast<uint32_t>(toks_.size());
    toks_.push_back(Tok{tok.offset, tok.length, 1, -1});
    if (tok.kind == HtmlToken::kTag && Wanted(Text(id))) index_[Text(id)].ids.push_back(id);
}

bool TokenText::Indexed(const std::string& x) const {
    return SelfDelimitedTag(x) && Wanted(x) && shadowed_.count(x) == 0;
}

bool TokenText::Wanted(std::string_view tag) const {
    if (names_.empty()) return true;
    const std::string_view name = TagName(tag);
    for (const std::string& n : names_) {
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(),
                       [](char a, char b) { return FoldName(a) == FoldName(b); })) {
            return true;
        }
    }
    return false;
}

bool TokenText::SplitInnerTags(const HtmlToken& tok) {
    const size_t end = tok.offset + tok.length;
    size_t start = tok.offset;
    for (size_t q = base_.find('<', tok.offset); q < end; q = base_.find('<', q + 1)) {
        size_t i = q + 1;
        if (i < end && base_[i] == '/') ++i;
        if (i >= end) return false;
        if (!IsAlpha(base_[i])) continue;
        while (i < end && base_[i] != '>') {
            if (base_[i] == '<') return false;
            if (base_[i] != '=') {
                ++i;
                continue;
            }
            ++i;
            while (i < end && IsSpace(base_[i])) ++i;
            if (i < end && (base_[i] == '"' || base_[i] == '\'')) {
                const size_t close = base_.find(base_[i], i + 1);
                if (close >= end || base_.find('<', i) < close) return false;
                i = close + 1;
            }
        }
        if (i >= end) return false;
        if (q > start && base_[q - 1] == '<') return false;
        if (q > start) {
            Push(HtmlToken{static_cast<uint32_t>(start), static_cast<uint32_t>(q - start),
                           tok.kind});
        }
        Push(
            HtmlToken{static_cast<uint32_t>(q), static_cast<uint32_t>(i + 1 - q), HtmlToken::kTag});
        start = i + 1;
        q = i;
    }
    if (end > start) {
        Push(HtmlToken{static_cast<uint32_t>(start), static_cast<uint32_t>(end - start), tok.kind});
    }
    return true;
}

bool TokenText::NoteInnerTags(const HtmlToken& tok) {
    const size_t end = tok.offset + tok.length;
    size_t q = tok.offset + (tok.kind == HtmlToken::kTag ? 1 : 0);
    for (; (q = base_.find('<', q)) < end; ++q) {
        size_t i = q + 1;
        if (i < end && base_[i] == '/') ++i;
        if (i >= end) return false;
        if (!IsAlpha(base_[i])) continue;
        bool possible = true;
        while (i < end && base_[i] != '>' && possible) {
            if (base_[i] == '<') {
                possible = false;
            } else if (base_[i] != '=') {
                ++i;
            } else {
                ++i;
                while (i < end && IsSpace(base_[i])) ++i;
                if (i < end && (base_[i] == '"' || base_[i] == '\'')) {
                    const size_t close = base_.find(base_[i], i + 1);
                    if (close >= end) return false;
                    if (base_.find('<', i) < close) possible = false;
                    i = close + 1;
                }
            }
        }
        if (!possible) continue;
        if (i >= end) return false;
        shadowed_.insert(std::string(base_.substr(q, i + 1 - q)));
    }
    return true;
}

bool TokenText::SplitTags(const std::string& x, std::vector<std::string>& tags) {
    // Only the first tag (where every occurrence starts) and the last one (where it ends)
    // matter; what lies between is compared byte by byte.
    std::vector<HtmlToken> tokens = TokenizeHtml(x);
    if (tokens.empty() || tokens[0].kind != HtmlToken::kTag) return false;
    for (const HtmlToken& tok : tokens) {
        if (tok.kind == HtmlToken::kTag) tags.push_back(x.substr(tok.offset, tok.length));
    }
    const size_t last = x.rfind('<');
    return SelfDelimitedTag(tags.front()) && SelfDelimitedTag(x.substr(last)) &&
           tokens.back().kind == HtmlToken::kTag && tokens.back().offset == last;
}
