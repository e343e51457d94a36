// The HTML document tree of the conversion, built in linear time from a scan that cuts the input
// exactly as htmlcxx's SAX parser does (Office/HtmlScan.h).
// It is the very tree htmlcxx's DOM parser builds (same nodes in the same pre-order, same texts,
// offsets, lengths and parents): an end tag closes the nearest open element of that name
// (case-insensitive) and the elements left open inside it become its children's siblings; an
// end tag that closes nothing becomes a comment node. The DOM parser finds the open element by
// walking up the tree and re-links children one level at a time, which grows quadratically on
// runs of unclosed elements such as <br> and <img>; here each node is re-linked at most once.
#pragma once

#include <htmlcxx/html/Node.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One node as htmlcxx reports it. The texts are views into the parsed input (which the caller
// keeps alive while the tree is in use) or into the tree's own store. Text nodes keep no text
// (it is the input from `offset` for `length` bytes); the tag name of a text or comment node is
// empty unless it differs from the text (an end tag that closed nothing keeps its name).
struct HtmlNode {
    std::string_view text;
    std::string_view closingText;
    std::string_view tagName;
    uint32_t offset = 0;
    uint32_t length = 0;
    bool isTag = false;
    bool isComment = false;

    // The element as htmlcxx's node, its attributes parsed when asked, for attribute lookups.
    htmlcxx::HTML::Node Parsed(bool attributes = true) const;
};

// The nodes of a tree. BuildHtmlTree stores each node in 28 bytes (its texts as positions in
// the parsed input) and hands it out as an HtmlNode view; a tree taken from another parser
// keeps whole nodes instead.
struct HtmlNodeList {
    struct Packed {
        enum Flags : uint8_t { kTag = 1, kComment = 2, kNameAfterSlash = 4 };
        uint32_t offset;
        uint32_t length;
        uint32_t textLength;  // the text starts at `offset`
        uint32_t closeAt;
        uint32_t closeLength;
        uint32_t nameLength;  // the name starts at offset + 1 (+ 1 behind "</")
        uint8_t flags;
    };

    size_t size() const { return full.empty() ? packed.size() : full.size(); }
    HtmlNode operator[](size_t i) const {
        if (!full.empty()) return full[i];
        const Packed& p = packed[i];
        HtmlNode node;
        node.offset = p.offset;
        node.length = p.length;
        node.isTag = (p.flags & Packed::kTag) != 0;
        node.isComment = (p.flags & Packed::kComment) != 0;
        node.text = base.substr(p.offset, p.textLength);
        node.closingText = base.substr(p.closeAt, p.closeLength);
        if (p.nameLength != 0) {
            node.tagName =
                base.substr(p.offset + ((p.flags & Packed::kNameAfterSlash) ? 2 : 1), p.nameLength);
        }
        return node;
    }

    std::string_view base;
    std::vector<Packed> packed;
    std::vector<HtmlNode> full;
};

struct HtmlTree {
    // Pre-order (document order); nodes[0] is the nameless root that spans the whole input.
    HtmlNodeList nodes;
    std::vector<int> parent;  // index of the parent node, -1 for the root
    // Texts that are not views into the input.
    std::shared_ptr<std::deque<std::string>> store;
};

// The tree of `html`; its nodes view `html`, which must outlive it.
HtmlTree BuildHtmlTree(const std::string& html);

// The root and the element nodes of that tree, in the same order, each with its parent (which
// is always an element or the root): what a visit of the elements reads, without a node for
// every text and comment.
HtmlTree BuildHtmlElementTree(const std::string& html);
HtmlTree ElementsOf(const HtmlTree& tree);

// The elements of one tag name, found by the same rules without building the tree.
struct HtmlElements {
    struct Element {
        std::string_view text;
        std::string_view closingText;  // empty while the element is left open
        uint32_t offset;
    };
    std::vector<Element> elements;       // tag name exactly `name`, in document order
    std::vector<std::string_view> ends;  // end tags of that name (any case), in document order
    size_t tags = 0;                     // tags and end tags in the text
    bool tagsStartTagLike = true;        // each begins "<" or "</" and a letter
};

// The nodes of BuildHtmlTree(html) whose tag name is `name`, with their texts.
HtmlElements FindHtmlElements(const std::string& html, std::string_view name);

// The lexical pieces of a text as htmlcxx's SAX parser cuts it (end tags count as tags): they cover
// the text without gaps, in order.
struct HtmlToken {
    enum Kind : uint8_t { kText, kTag, kComment };
    uint32_t offset;
    uint32_t length;
    Kind kind;
};

std::vector<HtmlToken> TokenizeHtml(const std::string& html);
