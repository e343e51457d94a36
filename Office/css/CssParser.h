// A small stylesheet parser with the interface and matching rules of htmlcxx's CSS parser
// (whose packaged build parses no declarations). It keeps every rule it is given; for the same
// selector chain and property a later value replaces the earlier one. It skips at-rules
// (@font-face, @page, @list ...), comments and markup around the sheet, keeps quoted text
// intact, and runs in time linear in its input.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace quillon {
namespace css {

class Parser {
  public:
    enum PseudoClass { NONE_CLASS, LINK, VISITED, ACTIVE, OTHER_CLASS };
    enum PseudoElement { NONE_ELEMENT, FIRST_LETTER, FIRST_LINE, OTHER_ELEMENT };

    // One simple selector: element name, id, class and pseudo parts. The setters lower-case.
    class Selector {
      public:
        Selector() = default;
        Selector(const std::string& element, const std::string& id, const std::string& eclass,
                 PseudoClass pc = NONE_CLASS, PseudoElement pe = NONE_ELEMENT);

        void setElement(const std::string& str);
        void setId(const std::string& str);
        void setClass(const std::string& str);
        void setPseudoClass(PseudoClass p);
        void setPseudoElement(PseudoElement p);
        // Unlisted pseudo classes and elements (hover, before...) keep their name so that
        // different ones stay different rules.
        void setPseudoName(const std::string& str);

        const std::string& element() const { return element_; }
        const std::string& id() const { return id_; }
        const std::string& eclass() const { return class_; }
        PseudoClass pseudoClass() const { return pseudoClass_; }
        PseudoElement pseudoElement() const { return pseudoElement_; }

        // Whether this (rule) selector applies to the path element `s`: every part this
        // selector names must be equal in `s`; parts it leaves empty match anything.
        bool match(const Selector& s) const;
        bool operator==(const Selector& s) const;
        bool operator<(const Selector& s) const;

      private:
        std::string element_;
        std::string id_;
        std::string class_;
        PseudoClass pseudoClass_ = NONE_CLASS;
        PseudoElement pseudoElement_ = NONE_ELEMENT;
        std::string pseudoName_;
    };

    // Adds the rules of a stylesheet. Answers false when the text held no rule at all.
    bool parse(const std::string& css);
    bool parse(const char* buf, std::size_t len);

    // The declarations that apply to the element at the end of `path` (outermost element
    // first): property name -> value, from every matching rule in rule order, later rules
    // replacing earlier ones. An empty path matches nothing.
    std::map<std::string, std::string> getAttributes(const std::vector<Selector>& path) const;

    std::size_t ruleCount() const { return rules_.size(); }

    // Whether the selector chain applies to the path: its last selector matches the path's last
    // element and each earlier one matches some ancestor, in order.
    static bool match(const std::vector<Selector>& selector, const std::vector<Selector>& path);

  private:
    struct Value {
        std::string text;
        bool important = false;
    };
    std::map<std::vector<Selector>, std::map<std::string, Value>> rules_;
};

}  // namespace css
}  // namespace quillon
