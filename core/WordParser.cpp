#include "core/WordParser.h"

#include <new>
#include <vector>

bool WordParser::GetWord(std::string& html) {
    if (!converter_.IsWord()) return false;
    converter_.GetWord();
    try {
        html = converter_.Text();
    } catch (const std::bad_alloc&) {
        html.clear();  // as for a conversion that ran out of memory
    }
    return true;
}

std::string WordParser::GetExcel() {
    converter_.GetExcel();
    try {
        return converter_.Text();
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

bool WordParser::GetImages() {
    // A copy: the page's callback may call back into the parser and convert again.
    const ImageTable images = converter_.Images();
    if (!addWordImg_) return !images.empty();
    // Our own references: the page may replace them from inside the call.
    const script::ObjectHandle callback = addWordImg_;
    for (const auto& entry : images) {
        const ImageTag& tag = *entry.second;
        const std::vector<script::ScriptValue> arguments = {
            script::ScriptValue::Object(object_),   script::ScriptValue::String(tag.alt),
            script::ScriptValue::String(tag.width), script::ScriptValue::String(tag.height),
            script::ScriptValue::String(tag.src),   script::ScriptValue::String(tag.html)};
        callback->Call(arguments);
    }
    return !images.empty();
}
