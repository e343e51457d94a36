#include "reference/DomTree.h"

#include <htmlcxx/html/ParserDom.h>

#include <deque>
#include <memory>
#include <unordered_map>

namespace {

using htmlcxx::HTML::Node;

HtmlNode FromNode(const Node& node, bool keepText, std::deque<std::string>& store) {
    HtmlNode out;
    out.offset = node.offset();
    out.length = node.length();
    out.isTag = node.isTag();
    out.isComment = node.isComment();
    auto keep = [&store](const std::string& s) -> std::string_view {
        store.push_back(s);
        return store.back();
    };
    if (out.isTag || node.tagName() != node.text()) out.tagName = keep(node.tagName());
    if (keepText) out.text = keep(node.text());
    out.closingText = keep(node.closingText());
    return out;
}

}  // namespace

HtmlTree BuildHtmlTreeWithDom(const std::string& html) {
    HtmlTree out;
    out.store = std::make_shared<std::deque<std::string>>();
    htmlcxx::HTML::ParserDom dom;
    const tree<Node>& tr = dom.parseTree(html);
    std::unordered_map<const void*, int> index;
    for (auto it = tr.begin(); it != tr.end(); ++it) {
        index[it.node] = static_cast<int>(out.nodes.size());
        const auto up = tr.parent(it);
        out.parent.push_back(tr.is_valid(up) ? index[up.node] : -1);
        const Node& node = *it;
        out.nodes.full.push_back(FromNode(node, node.isTag() || node.isComment(), *out.store));
    }
    return out;
}
