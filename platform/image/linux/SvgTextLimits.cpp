// Font sizes of an SVG document bounded on the canvas (see SvgTextLimits.h). The document is
// read with libxml2, the parser the renderer itself uses, so both see the same elements.
#include "platform/image/linux/SvgTextLimits.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace image {
namespace {

// The renderer's font size where a document names none.
const double kDefaultFontPixels = 12.0;
const double kPi = 3.14159265358979323846;

struct DocCloser {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

// The linear part of an affine transform: x' = a x + c y, y' = b x + d y.
struct Linear {
    double a = 1, b = 0, c = 0, d = 1;
    Linear Then(const Linear& m) const {  // this, then m applied in this one's user space
        Linear r;
        r.a = a * m.a + c * m.b;
        r.b = b * m.a + d * m.b;
        r.c = a * m.c + c * m.d;
        r.d = b * m.c + d * m.d;
        return r;
    }
    // Frobenius norm: no direction is stretched by more.
    double Stretch() const { return std::sqrt(a * a + b * b + c * c + d * d); }
};

class Cursor {
  public:
    explicit Cursor(const std::string& text) : s_(text) {}
    void SkipSpaces() {
        while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
    }
    void SkipSeparator() {
        SkipSpaces();
        if (pos_ < s_.size() && s_[pos_] == ',') ++pos_;
        SkipSpaces();
    }
    bool AtEnd() const { return pos_ >= s_.size(); }
    bool Take(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) return ++pos_, true;
        return false;
    }
    std::string Word() {
        const size_t start = pos_;
        while (pos_ < s_.size() && std::isalpha(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        return s_.substr(start, pos_ - start);
    }
    // An SVG number: sign, digits with an optional fraction, optional exponent; finite only.
    bool Number(double& value) {
        const size_t start = pos_;
        if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
        const size_t intDigits = Digits();
        size_t fracDigits = 0;
        if (Take('.')) fracDigits = Digits();
        if (intDigits + fracDigits == 0) return pos_ = start, false;
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            const size_t mark = pos_++;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (Digits() == 0) pos_ = mark;  // "2em": the e belongs to the unit
        }
        value = std::strtod(s_.substr(start, pos_ - start).c_str(), nullptr);
        return std::isfinite(value);
    }

  private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    size_t Digits() {
        const size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
        return pos_ - start;
    }
    const std::string& s_;
    size_t pos_ = 0;
};

bool ParseTransformList(const std::string& text, Linear& out) {
    Cursor in(text);
    out = Linear();
    in.SkipSpaces();
    while (!in.AtEnd()) {
        const std::string name = in.Word();
        in.SkipSpaces();
        if (name.empty() || !in.Take('(')) return false;
        std::vector<double> args;
        in.SkipSpaces();
        while (!in.Take(')')) {
            double v = 0;
            if (args.size() == 6 || !in.Number(v)) return false;
            args.push_back(v);
            in.SkipSeparator();
        }
        const size_t n = args.size();
        Linear m;
        if (name == "matrix" && n == 6) {
            m.a = args[0], m.b = args[1], m.c = args[2], m.d = args[3];
        } else if (name == "translate" && (n == 1 || n == 2)) {
        } else if (name == "scale" && (n == 1 || n == 2)) {
            m.a = args[0], m.d = n == 2 ? args[1] : args[0];
        } else if (name == "rotate" && (n == 1 || n == 3)) {
            const double r = args[0] * kPi / 180.0;
            m.a = std::cos(r), m.b = std::sin(r), m.c = -m.b, m.d = m.a;
        } else if (name == "skewX" && n == 1) {
            m.c = std::tan(args[0] * kPi / 180.0);
        } else if (name == "skewY" && n == 1) {
            m.b = std::tan(args[0] * kPi / 180.0);
        } else {
            return false;
        }
        out = out.Then(m);
        in.SkipSeparator();
    }
    return std::isfinite(out.Stretch());
}

// A length in user units; em, ex and % are relative to the inherited font size.
bool ParseLength(const std::string& text, double fontPixels, double& out) {
    Cursor in(text);
    in.SkipSpaces();
    double v = 0;
    if (!in.Number(v)) return false;
    std::string unit = in.Word();
    if (unit.empty() && in.Take('%')) unit = "%";
    in.SkipSpaces();
    if (!in.AtEnd()) return false;
    static const struct {
        const char* unit;
        double factor;
    } kUnits[] = {{"", 1},    {"px", 1},         {"pt", 96.0 / 72}, {"pc", 16},
                  {"in", 96}, {"cm", 96 / 2.54}, {"mm", 96 / 25.4}};
    for (const auto& u : kUnits)
        if (unit == u.unit) return std::isfinite(out = v * u.factor);
    if (unit == "em") return std::isfinite(out = v * fontPixels);
    if (unit == "ex") return std::isfinite(out = v * fontPixels / 2);
    if (unit == "%") return std::isfinite(out = v * fontPixels / 100);
    return false;
}

std::string Attribute(xmlNode* node, const char* name, bool& present) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    present = value != nullptr;
    std::string text = present ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

bool IsNamed(const xmlNode* node, const char* name) {
    return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// Elements and attributes that change text size in ways the bound does not follow. None of
// them occurs in a translated metafile.
bool IsRefusedElement(const xmlNode* node) {
    static const char* const kNames[] = {"style", "tref", "textPath", "svg", "font", "font-face"};
    for (const char* name : kNames)
        if (IsNamed(node, name)) return true;
    return false;
}
bool HasRefusedAttribute(xmlNode* node) {
    static const char* const kNames[] = {"font", "letter-spacing", "word-spacing", "textLength"};
    bool present = false;
    for (const char* name : kNames) {
        Attribute(node, name, present);
        if (present) return true;
    }
    std::string style = Attribute(node, "style", present);
    style.erase(std::remove_if(style.begin(), style.end(), [](char c) { return c == ' '; }),
                style.end());
    return present && !style.empty() && style != "white-space:pre;" && style != "white-space:pre";
}

struct Scope {
    Linear transform;  // from this element's user space to canvas pixels
    double fontPixels = kDefaultFontPixels;
    double textRun = 0;      // characters of the enclosing text element; 0 outside text
    bool referable = false;  // this element or an ancestor has an id
};

class Limiter {
  public:
    bool Visit(xmlNode* node, Scope scope, bool root = false) {
        if (++depth_ > 4096) return false;
        bool present = false;
        if ((!root && IsRefusedElement(node)) || HasRefusedAttribute(node)) return false;
        Attribute(node, "id", present);
        scope.referable = scope.referable || present;
        const std::string transform = Attribute(node, "transform", present);
        if (present) {
            Linear local;
            if (!ParseTransformList(transform, local)) return false;
            scope.transform = scope.transform.Then(local);
        }
        const std::string size = Attribute(node, "font-size", present);
        if (present && !ParseLength(size, scope.fontPixels, scope.fontPixels)) return false;
        if (IsNamed(node, "text")) {
            if (scope.referable || scope.textRun > 0) return false;
            xmlChar* content = xmlNodeGetContent(node);
            scope.textRun =
                std::max<double>(1, content ? std::strlen(reinterpret_cast<char*>(content)) : 0);
            xmlFree(content);
        }
        if (scope.textRun > 0 && !Bound(node, scope)) return false;
        for (xmlNode* child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE && !Visit(child, scope)) return false;
        --depth_;
        return true;
    }
    bool changed() const { return changed_; }

  private:
    // Rewrites the element's font size when its run would be too long. The text is laid out
    // in its own user space and drawn on the canvas, so the run is bounded in both.
    bool Bound(xmlNode* node, Scope& scope) {
        const double stretch = scope.transform.Stretch();
        if (!std::isfinite(stretch)) return false;
        const double bound = std::min(kMaxTextRunPixels / scope.textRun, kMaxFontPixels);
        const double limit = stretch > 1 ? bound / stretch : bound;
        if (std::fabs(scope.fontPixels) <= limit) return true;
        scope.fontPixels = std::copysign(limit, scope.fontPixels);
        char text[64];
        std::snprintf(text, sizeof text, "%.6g", scope.fontPixels);
        xmlSetProp(node, reinterpret_cast<const xmlChar*>("font-size"),
                   reinterpret_cast<const xmlChar*>(text));
        changed_ = true;
        return true;
    }

    int depth_ = 0;
    bool changed_ = false;
};

// Canvas pixels per user unit of the root element, the largest of the two axes.
bool RootScale(xmlNode* root, double canvasWidth, double canvasHeight, double& scale) {
    bool present = false;
    double width = 0, height = 0;
    const std::string viewBox = Attribute(root, "viewBox", present);
    if (present) {
        Cursor in(viewBox);
        double x = 0, y = 0;
        in.SkipSpaces();
        if (!in.Number(x) || (in.SkipSeparator(), !in.Number(y)) ||
            (in.SkipSeparator(), !in.Number(width)) || (in.SkipSeparator(), !in.Number(height)))
            return false;
    } else {
        bool hasHeight = false;
        const std::string w = Attribute(root, "width", present);
        const std::string h = Attribute(root, "height", hasHeight);
        if (!present || !hasHeight || !ParseLength(w, kDefaultFontPixels, width) ||
            !ParseLength(h, kDefaultFontPixels, height) || w.find('%') != std::string::npos ||
            h.find('%') != std::string::npos)
            return false;
    }
    if (!(width > 0) || !(height > 0)) return false;
    scale = std::max(canvasWidth / width, canvasHeight / height);
    return std::isfinite(scale);
}

}  // namespace

bool LimitSvgText(std::string& svg, double canvasWidth, double canvasHeight) {
    if (svg.size() > static_cast<size_t>(INT32_MAX)) return false;
    std::unique_ptr<xmlDoc, DocCloser> doc(
        xmlReadMemory(svg.data(), static_cast<int>(svg.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc || doc->intSubset) return false;  // no document type: no entities to expand
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || !IsNamed(root, "svg")) return false;

    Scope scope;
    double scale = 0;
    if (!RootScale(root, canvasWidth, canvasHeight, scale)) return false;
    scope.transform.a = scope.transform.d = scale;
    Limiter limiter;
    if (!limiter.Visit(root, scope, true)) return false;
    if (!limiter.changed()) return true;

    xmlChar* text = nullptr;
    int length = 0;
    xmlDocDumpMemory(doc.get(), &text, &length);
    if (!text || length <= 0) return xmlFree(text), false;
    svg.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    xmlFree(text);
    return true;
}

}  // namespace image
}  // namespace platform
