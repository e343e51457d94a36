#include "Office/css/WordCss.h"

#include <htmlcxx/html/Node.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Office/HtmlScan.h"
#include "Office/TextOps.h"
#include "platform/kernel/LargeBuffer.h"
#include "util/ByteWords.h"

namespace {

// The declarations are written into a single-quoted attribute: a quote or an ampersand taken
// verbatim would end the attribute early or start a character reference.
std::string EscapeForAttribute(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\'') {
            out += "&#39;";
        } else if (c == '&') {
            out += "&amp;";
        } else {
            out += c;
        }
    }
    return out;
}

std::string EscapeQuotes(const std::string& text) {
    if (text.find('\'') == std::string::npos) return text;
    std::string out;
    for (char c : text) {
        if (c == '\'') {
            out += "&#39;";
        } else {
            out += c;
        }
    }
    return out;
}

// One opening tag that carries a class attribute, as htmlcxx's parser reports it.
struct ClassTag {
    std::size_t offset;
    std::size_t length;
    std::string cls;
    bool hasStyle;
    std::string style;
};

// Whether `text` holds `name` (lower case) in any case. A tag with a picture's data runs to
// kilobytes: the places where the name's first byte can stand are found eight bytes at once.
bool HoldsFolded(std::string_view text, std::string_view name) {
    if (name.empty()) return true;
    if (name.size() > text.size()) return false;
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; };
    const auto first = static_cast<unsigned char>(name[0]);
    const bool letter = first >= 'a' && first <= 'z';
    const size_t last = text.size() - name.size();  // the last place the name can start
    for (size_t i = 0; i <= last; ++i) {
        if (last - i >= 8) {
            const uint64_t w = util::LoadWord(text.data() + i);
            if (!util::AnyByteEqual(w, first) &&
                !(letter && util::AnyByteEqual(w, static_cast<unsigned char>(first - 0x20)))) {
                i += 7;
                continue;
            }
        }
        size_t k = 0;
        while (k < name.size() && fold(static_cast<unsigned char>(text[i + k])) ==
                                      static_cast<unsigned char>(name[k])) {
            ++k;
        }
        if (k == name.size()) return true;
    }
    return false;
}

// Whether a tag text can hold a class attribute: the attribute parser lower-cases names, so
// any spelling of "class" counts.
bool MayHaveClass(std::string_view tag) {
    return HoldsFolded(tag, "class");
}

// The opening tags that carry a class attribute, cut as htmlcxx's parser cuts the text; only
// those that can hold one have their attributes parsed. With `styled` given, only those that
// hold one of its class names (in any case): an attribute value is a verbatim part of its tag.
struct ClassTagCollector {
    ClassTagCollector(const std::string& text, const std::vector<std::string>* styled)
        : text_(text), styled_(styled) {}

    void parse(const std::string& text) {
        ScanHtml(text, [this](const HtmlPiece& piece) {
            if (piece.kind != HtmlPiece::kTag) return;
            const std::string_view tag(text_.data() + piece.offset, piece.length);
            if (!MayHaveClass(tag)) return;
            if (styled_ &&
                std::none_of(styled_->begin(), styled_->end(),
                             [tag](const std::string& name) { return HoldsFolded(tag, name); })) {
                return;
            }
            htmlcxx::HTML::Node node;
            node.text(std::string(tag));
            node.isTag(true);
            node.isComment(false);
            node.parseAttributes();
            const auto cls = node.attribute("class");
            if (!cls.first) return;
            const auto style = node.attribute("style");
            tags.push_back(
                ClassTag{piece.offset, piece.length, cls.second, style.first, style.second});
        });
    }

    std::vector<ClassTag> tags;
    bool offsetsHold = true;  // every tag text sits in the input where its offset says

  private:
    const std::string& text_;
    const std::vector<std::string>* styled_;
};

// Counts of '<' and '>' that make a text one plain tag: a '<' only at the front, a '>' only at
// the end.
bool IsPlainTag(const std::string& t) {
    if (t.size() < 2 || t.front() != '<' || t.back() != '>') return false;
    return t.find('<', 1) == std::string::npos && t.find('>') == t.size() - 1;
}

// Whether rewriting each class tag where it stands gives what replacing every occurrence of each
// changed tag text, one text after the other, gives. It does when every changed text, before
// and after, is a plain tag (one '<' in front, one '>' at the end), no new text equals an old
// one, and the old texts occur in the input only as the tags themselves: then no replacement
// can create, destroy or move an occurrence of another.
bool OnePassIsExact(const std::string& text, const std::vector<ClassTag>& tags,
                    const std::vector<std::size_t>& tagChange,
                    const std::vector<std::pair<std::string, std::string>>& changes) {
    std::unordered_set<std::string_view> olds;
    for (const auto& change : changes) {
        if (!IsPlainTag(change.first) || !IsPlainTag(change.second)) return false;
        olds.insert(change.first);
    }
    for (const auto& change : changes) {
        if (olds.count(change.second)) return false;
    }
    // A plain tag text can only occur as a '<' followed by no other '<' up to the next '>'.
    std::size_t nextTag = 0;
    std::size_t i = text.find('<');
    while (i != std::string::npos) {
        const std::size_t stop = text.find_first_of("<>", i + 1);
        if (stop == std::string::npos) break;
        if (text[stop] == '<') {
            i = stop;
            continue;
        }
        if (olds.count(std::string_view(text).substr(i, stop + 1 - i))) {
            while (nextTag < tags.size() &&
                   (tags[nextTag].offset < i || tagChange[nextTag] == std::string::npos)) {
                ++nextTag;
            }
            if (nextTag == tags.size() || tags[nextTag].offset != i ||
                tags[nextTag].length != stop + 1 - i) {
                return false;
            }
        }
        i = text.find('<', stop + 1);
    }
    return true;
}

}  // namespace

WordCss::WordCss() = default;
WordCss::~WordCss() = default;

void WordCss::LoadStyles(const std::string& html) {
    std::string head, style, sheet;
    TextBetween(html, "<head>", "</head>", head);
    TextBetweenLast(head, "<style>", "</style>", style);
    if (style.find("<!--") != std::string::npos) {
        TextBetween(style, "<!--", "-->", sheet);
    } else {
        sheet = head;
    }
    if (!sheet.empty()) parser_.parse(sheet);
}

void WordCss::InlineClassStyles(std::string& text) {
    std::string spare;
    InlineClassStyles(text, spare);
}

bool WordCss::InlineClassStyles(std::string& text, std::string& spare) {
    // Only an element of a class some rule styles can change (the classes styled at an earlier
    // conversion are among them: rules are only ever added). A Word sheet styles few classes on
    // their own (.MsoChpDefault, .MsoPapDefault): most tags are then not parsed, and without any
    // the text is not read at all. Many such classes are looked for by parsing every class tag.
    std::vector<std::string> styled;
    for (const std::string& cls : parser_.singleRuleClasses()) {
        quillon::css::Parser::Selector selector;
        selector.setElement(cls);
        selector.setClass(cls);
        if (!parser_.getAttributes({selector}).empty()) styled.push_back(cls);
    }
    if (styled.empty()) return false;
    const size_t kMaxLookedFor = 16;
    ClassTagCollector collector(text, styled.size() <= kMaxLookedFor ? &styled : nullptr);
    collector.parse(text);

    // Collect: the declarations of each class, asked of the parser once per class value.
    std::unordered_set<std::string> unstyled;
    for (const ClassTag& tag : collector.tags) {
        if (classStyles_.count(tag.cls) || unstyled.count(tag.cls)) continue;
        quillon::css::Parser::Selector selector;
        selector.setElement(tag.cls);
        selector.setClass(tag.cls);
        const auto answer = parser_.getAttributes({selector});
        if (answer.empty()) {
            unstyled.insert(tag.cls);
            continue;
        }
        std::string declarations;
        for (const auto& prop : answer) {
            if (prop.first.find("mso") != std::string::npos) continue;
            declarations += prop.first + ":" + prop.second + ";";
        }
        classStyles_.emplace(tag.cls, EscapeForAttribute(declarations));
    }

    // Each distinct opening tag is rewritten once; `changes` keeps the first-seen order, which
    // is the order in which whole-text replacements would run.
    std::unordered_map<std::string, std::size_t> changeOf;  // opening tag -> index or npos
    std::vector<std::pair<std::string, std::string>> changes;
    std::vector<std::size_t> tagChange(collector.tags.size(), std::string::npos);
    for (std::size_t i = 0; i < collector.tags.size(); ++i) {
        const ClassTag& tag = collector.tags[i];
        const auto styles = classStyles_.find(tag.cls);
        if (styles == classStyles_.end()) continue;
        std::string original = text.substr(tag.offset, tag.length);
        const auto known = changeOf.find(original);
        if (known != changeOf.end()) {
            tagChange[i] = known->second;
            continue;
        }
        const std::string replacement = "style='" + styles->second + EscapeQuotes(tag.style) + "'";
        std::string rewritten = original;
        if (tag.hasStyle) {
            ReplaceAllBounded(rewritten, "class=" + tag.cls, "");
            ReplaceAllBounded(rewritten, "style='" + tag.style + "'", replacement);
            ReplaceAllBounded(rewritten, "style=\"" + tag.style + "\"", replacement);
        } else {
            ReplaceAllBounded(rewritten, "class=" + tag.cls, replacement);
        }
        std::size_t index = std::string::npos;
        if (rewritten != original) {
            index = changes.size();
            changes.emplace_back(original, rewritten);
        }
        changeOf.emplace(std::move(original), index);
        tagChange[i] = index;
    }
    if (changes.empty()) return false;
    // The result is written into the spare buffer's pages; the old text is handed back there.
    working_.swap(spare);

    if (!collector.offsetsHold || !OnePassIsExact(text, collector.tags, tagChange, changes)) {
        // Tags with quoted '<' or '>', or texts that recur outside their own tags: replay the
        // whole-text replacement of every class tag in document order, as far as that work
        // stays bounded. A text needs replaying only when another replacement has run since
        // it was last replaced, since only that can have made new occurrences.
        std::size_t changedTags = 0;
        for (std::size_t index : tagChange) changedTags += (index != std::string::npos);
        const std::size_t budget = std::size_t(1) << 28;
        if (changedTags <= budget / (text.size() + 1)) {
            working_ = text;
            std::vector<std::size_t> editsAtLastRun(changes.size(), std::string::npos);
            std::size_t edits = 0;
            for (std::size_t index : tagChange) {
                if (index == std::string::npos || editsAtLastRun[index] == edits) continue;
                const auto& change = changes[index];
                if (ReplaceAllBounded(working_, change.first, change.second)) ++edits;
                // A replacement holding its own text leaves occurrences behind: rerun it.
                const bool settled = change.second.find(change.first) == std::string::npos;
                editsAtLastRun[index] = settled ? edits : std::string::npos;
            }
            text.swap(working_);
            spare.swap(working_);
            std::string().swap(working_);
            return true;
        }
    }

    working_.clear();
    platform::ReserveLarge(working_, text.size() + text.size() / 4, text.size());
    std::size_t last = 0;
    for (std::size_t i = 0; i < collector.tags.size(); ++i) {
        if (tagChange[i] == std::string::npos) continue;
        const ClassTag& tag = collector.tags[i];
        working_.append(text, last, tag.offset - last);
        working_ += changes[tagChange[i]].second;
        last = tag.offset + tag.length;
    }
    working_.append(text, last, std::string::npos);
    text.swap(working_);
    spare.swap(working_);
    std::string().swap(working_);
    return true;
}
