#include "plugin/WordParser.h"

#include <new>
#include <vector>

#include "plugin/BrowserFuncs.h"
#include "plugin/ScriptValues.h"

WordParser::WordParser(NPP npp) : npp_(npp) {}

WordParser::~WordParser() {
    if (object_) NPN_ReleaseObject(object_);
    if (addWordImg_) NPN_ReleaseObject(addWordImg_);
}

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
    NPObject* callback = NPN_RetainObject(addWordImg_);
    for (const auto& entry : images) {
        const ImageTag& tag = *entry.second;
        const std::string* texts[] = {&tag.alt, &tag.width, &tag.height, &tag.src, &tag.html};
        NPVariant args[6];
        if (object_)
            OBJECT_TO_NPVARIANT(object_, args[0]);
        else
            NULL_TO_NPVARIANT(args[0]);
        std::vector<char*> buffers;
        for (size_t i = 0; i < 5; ++i) {
            char* buffer = AllocScriptString(*texts[i]);
            buffers.push_back(buffer);
            if (buffer)
                STRINGN_TO_NPVARIANT(buffer, static_cast<uint32_t>(texts[i]->size()), args[i + 1]);
            else
                NULL_TO_NPVARIANT(args[i + 1]);
        }
        NPVariant result;
        VOID_TO_NPVARIANT(result);
        if (NPN_InvokeDefault(npp_, callback, args, 6, &result)) NPN_ReleaseVariantValue(&result);
        // The browser does not take the argument buffers.
        for (char* buffer : buffers) NPN_MemFree(buffer);
    }
    NPN_ReleaseObject(callback);
    return !images.empty();
}

void WordParser::SetObject(NPObject* object) {
    if (object_) NPN_ReleaseObject(object_);
    object_ = object;
}

void WordParser::SetAddWordImg(NPObject* callback) {
    if (addWordImg_) NPN_ReleaseObject(addWordImg_);
    addWordImg_ = callback;
}
