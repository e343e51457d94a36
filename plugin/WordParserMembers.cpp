// The "WordParser_" members: Word and Excel content on request, pictures by callback.
#include "plugin/CPlugin.h"
#include "plugin/Members.h"
#include "plugin/ScriptValues.h"
#include "plugin/WordParser.h"

void RegisterWordParserMethods(CPlugin& plugin, WordParser& parser) {
    WordParser* p = &parser;
    plugin.RegisterMethod("WordParser_Parse", [](const NPVariant*, NPVariant*) {});
    plugin.RegisterMethod("WordParser_IsWord", [p](const NPVariant*, NPVariant* out) {
        SetBoolResult(p->IsWord(), out);
    });
    plugin.RegisterMethod("WordParser_IsExcel", [p](const NPVariant*, NPVariant* out) {
        SetBoolResult(p->IsExcel(), out);
    });
    plugin.RegisterMethod("WordParser_GetWord", [p](const NPVariant*, NPVariant* out) {
        std::string html;
        if (p->GetWord(html)) SetStringResult(html, out);
    });
    plugin.RegisterMethod("WordParser_GetImages", [p](const NPVariant*, NPVariant* out) {
        SetBoolResult(p->GetImages(), out);
    });
    plugin.RegisterMethod("WordParser_GetExcel", [p](const NPVariant*, NPVariant* out) {
        SetStringResult(p->GetExcel(), out);
    });
}

void RegisterWordParserProperties(CPlugin& plugin, WordParser& parser) {
    WordParser* p = &parser;
    plugin.RegisterProperty("WordParser_Object", [p](const NPVariant* in, NPVariant*) {
        if (in) p->SetObject(ToObject(in));
    });
    plugin.RegisterProperty("WordParser_AddWordImg", [p](const NPVariant* in, NPVariant*) {
        if (in) p->SetAddWordImg(ToObject(in));
    });
}
