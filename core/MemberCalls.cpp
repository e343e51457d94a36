#include "core/MemberCalls.h"

#include <cstring>

#include "core/PageInstance.h"
#include "core/PagePolicy.h"

namespace script {

bool ReadsClipboard(const Member& member) {
    static const char* const kClipboardMembers[] = {"HasData",
                                                    "Paste",
                                                    "ImgPst_Paste",
                                                    "ImgPst_IsBitmap",
                                                    "ImgPst_IsFile",
                                                    "WordParser_IsWord",
                                                    "WordParser_IsExcel",
                                                    "WordParser_GetWord",
                                                    "WordParser_GetExcel"};
    if (member.kind != MemberKind::kMethod) return false;
    for (const char* name : kClipboardMembers)
        if (std::strcmp(name, member.name) == 0) return true;
    return false;
}

MemberOutcome CallMember(PageInstance& page, const Member& member, const ScriptArgs& arguments,
                         bool inGesture) {
    MemberOutcome outcome;
    const PagePolicy& policy = page.policy();
    if (!policy.PageAllowed()) {
        outcome.refusal = Refusal::kPage;
        outcome.message = policy.PageRefusal();
        return outcome;
    }
    if (ReadsClipboard(member) && !policy.MayReadClipboard(inGesture)) {
        outcome.refusal = Refusal::kClipboard;
        outcome.message = std::string("npQuillon: ") + member.name +
                          " reads the clipboard and runs only in a user gesture (a click or key"
                          " press): the policy's \"clipboard\" is \"gesture\"";
        policy.LogRefusal(std::string(member.name) + " (a clipboard read outside a user gesture)",
                          "\"clipboard\": \"gesture\"");
        return outcome;
    }
    outcome.value = member.call(page, arguments);
    return outcome;
}

ScriptValue GetMember(PageInstance& page, const Member& member) {
    if (!member.get || !page.policy().PageAllowed()) return ScriptValue();
    return member.get(page);
}

void SetMember(PageInstance& page, const Member& member, const ScriptValue& value) {
    if (member.set && page.policy().PageAllowed()) member.set(page, value);
}

}  // namespace script
