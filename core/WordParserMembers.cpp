// The "WordParser_" members: Word and Excel content on request, pictures by callback.
#include "core/Members.h"
#include "core/PageInstance.h"
#include "core/PastedFiles.h"
#include "core/WordParser.h"

namespace script {
namespace {

ScriptValue Parse(PageInstance&, const ScriptArgs&) {
    return ScriptValue();
}

ScriptValue IsWord(PageInstance& page, const ScriptArgs&) {
    return BoolResult(page.wordParser().IsWord());
}

ScriptValue IsExcel(PageInstance& page, const ScriptArgs&) {
    return BoolResult(page.wordParser().IsExcel());
}

ScriptValue GetWord(PageInstance& page, const ScriptArgs&) {
    std::string html;
    if (!page.wordParser().GetWord(html)) return ScriptValue();
    return StringResult(std::move(html));
}

ScriptValue GetImages(PageInstance& page, const ScriptArgs&) {
    // The pictures about to be told to the page may be sent under the bridge's upload rule.
    // Recorded first: the page's callback may destroy the instance.
    if (page.pastedFiles()) page.pastedFiles()->AddPictures(page.wordParser().Images());
    return BoolResult(page.wordParser().GetImages());
}

ScriptValue GetExcel(PageInstance& page, const ScriptArgs&) {
    return StringResult(page.wordParser().GetExcel());
}

void SetObject(PageInstance& page, const ScriptValue& value) {
    page.wordParser().SetObject(ToObject(value));
}

void SetAddWordImg(PageInstance& page, const ScriptValue& value) {
    page.wordParser().SetAddWordImg(ToObject(value));
}

}  // namespace

std::vector<Member> WordParserMethods() {
    return {
        Method("WordParser_Parse", 0, &Parse),         Method("WordParser_IsWord", 0, &IsWord),
        Method("WordParser_IsExcel", 0, &IsExcel),     Method("WordParser_GetWord", 0, &GetWord),
        Method("WordParser_GetImages", 0, &GetImages), Method("WordParser_GetExcel", 0, &GetExcel)};
}

std::vector<Member> WordParserProperties() {
    return {Property("WordParser_Object", nullptr, &SetObject),
            Property("WordParser_AddWordImg", nullptr, &SetAddWordImg)};
}

}  // namespace script
