// A small stylesheet parser with the interface and matching rules of htmlcxx's CSS parser
// (whose packaged build parses no declarations). It keeps every rule it is given; for the same
// selector chain and property a later value replaces the earlier one. It skips at-rules
// (@font-face, @page, @list ...), comments and markup around the sheet, keeps quoted text
// intact, and runs in time linear in its input.
#pragma once

#include <cstddef>
#include <map>
#include <set>
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
        const std::string& pseudoName() const { return pseudoName_; }
        PseudoClass pseudoClass() const { return pseudoClass_; }
        PseudoElement pseudoElement() const { return pseudoElement_; }

        // Whether the rule selector `s` applies to this path element: this element has a name,
        // `s` names no element or the same one, and id, class and pseudo parts are equal
        // (so a rule "p" does not apply to an element of class x, as in htmlcxx).
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

    // The declarations of every rule whose chain matches `path` (outermost element first):
    // property name -> value, rules taken in selector order, later ones replacing earlier
    // ones. Values are kept without "!important".
    std::map<std::string, std::string> getAttributes(const std::vector<Selector>& path) const;

    std::size_t ruleCount() const { return rules_.size(); }

    // The classes (lower case) of the rules of one selector: a one-element path of another class
    // matches no rule.
    std::vector<std::string> singleRuleClasses() const;

    // htmlcxx's chain rule: the chain's first selector matches the path's first element and
    // each further one matches a later path element, in order (gaps allowed). Empty chains and
    // empty paths never match.
    static bool match(const std::vector<Selector>& selector, const std::vector<Selector>& path);

  private:
    struct Value {
        std::string text;
        bool important = false;
    };
    using RuleSet = std::map<std::vector<Selector>, std::map<std::string, Value>>;
    struct KeyLess {
        bool operator()(RuleSet::const_iterator a, RuleSet::const_iterator b) const {
            return a->first < b->first;
        }
    };
    RuleSet rules_;
    // One-selector rules by class, in rule order: a one-element path can match no other rule,
    // so the per-element queries of a conversion need not walk the whole sheet.
    std::map<std::string, std::set<RuleSet::const_iterator, KeyLess>> singleByClass_;
};

}  // namespace css
}  // namespace quillon
