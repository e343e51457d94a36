// Word fragments made of many VML shapes, the forms that make a step rescan when it reads a
// shape's element text (from its opening tag to the first closing tag behind it) once per
// shape: shapes nested inside one another, repeated, left unclosed, or with their end tags
// out of place; each with image data (PNG pictures, WMZ formulas, cropped pictures) and the
// fallback picture Word writes beside it.
#pragma once

#include <string>

namespace shapemarkup {

enum class Form { kNested, kNestedInVml, kRepeated, kUnclosed, kInterleaved };

inline const char* FormName(Form form) {
    switch (form) {
        case Form::kNested:
            return "nested";
        case Form::kNestedInVml:
            return "nested-in-vml";
        case Form::kRepeated:
            return "repeated";
        case Form::kUnclosed:
            return "unclosed";
        case Form::kInterleaved:
            return "interleaved";
    }
    return "";
}

inline std::string OpenShape(size_t i) {
    const std::string n = std::to_string(i);
    const char* file = i % 3 == 0 ? ".wmz" : ".png";
    return "<v:shape id=\"_x0000_s" + n + "\" style='width:" + std::to_string(10 + i % 90) +
           ".5pt;height:20pt'><v:imagedata src=\"file:///C:/t/image" + n + file + "\"" +
           (i % 4 == 1 ? " croptop=\"1f\"" : "") + "/>";
}

inline std::string Fallback(size_t i) {
    const std::string n = std::to_string(i);
    return "<![if !vml]><span><img width=14 height=27 src=\"file:///C:/t/image" + n +
           ".gif\" v:shapes=\"_x0000_s" + n + "\"></span><![endif]>";
}

// The body of a fragment with `count` shapes of that form.
inline std::string Shapes(Form form, size_t count) {
    std::string body;
    switch (form) {
        case Form::kNested:
            for (size_t i = 0; i < count; ++i) body += "<v:shape>";
            for (size_t i = 0; i < count; ++i) body += "</v:shape>";
            break;
        case Form::kNestedInVml:
            body = "<!--[if gte vml 1]>";
            for (size_t i = 0; i < count; ++i) body += OpenShape(i);
            for (size_t i = 0; i < count; ++i) body += "</v:shape>";
            body += "<![endif]-->";
            for (size_t i = 0; i < count; ++i) body += Fallback(i);
            break;
        case Form::kRepeated:
            for (size_t i = 0; i < count; ++i) {
                body += "<p class=MsoNormal><!--[if gte vml 1]>" + OpenShape(i) +
                        "</v:shape><![endif]-->" + Fallback(i) + "</p>";
            }
            break;
        case Form::kUnclosed:
            body = "<!--[if gte vml 1]>";
            for (size_t i = 0; i < count; ++i) body += OpenShape(i);
            body += "<![endif]-->";
            for (size_t i = 0; i < count; ++i) body += Fallback(i);
            break;
        case Form::kInterleaved:
            // End tags before, between and after their shapes, the same shape opened twice.
            body = "<!--[if gte vml 1]>";
            for (size_t i = 0; i < count; ++i) {
                body += "</v:shape>" + OpenShape(i / 2) + (i % 3 == 0 ? "</v:shape>" : "");
            }
            body += "<![endif]-->";
            for (size_t i = 0; i < count; ++i) body += Fallback(i / 2);
            break;
    }
    return body;
}

// Tags the tag list cannot search for (a "<" inside an attribute value): their edits are done
// on the plain text.
inline std::string UncleanTags() {
    std::string tags = "<a href=\"x<y\">a</a>";
    for (int i = 0; i < 12; ++i)
        tags += "<p class=MsoNormal style=\"k:" + std::to_string(i) + "<\">z</p>";
    return tags;
}

// A whole clipboard page around a body.
inline std::string Page(const std::string& body) {
    return "<html><body><!--StartFragment-->" + body + "<!--EndFragment--></body></html>";
}

}  // namespace shapemarkup
