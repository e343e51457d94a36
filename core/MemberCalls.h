// How the bindings run a member of the interface: through the instance's policy. A page the
// policy does not admit gets nothing from any member (void results, writes ignored); a
// clipboard read outside what "clipboard" allows is refused. Both bindings dispatch here.
#pragma once

#include <string>

#include "core/MemberTable.h"

namespace script {

// Why a member did not run; kNone when it ran.
enum class Refusal { kNone, kPage, kClipboard };

struct MemberOutcome {
    ScriptValue value;
    Refusal refusal = Refusal::kNone;
    std::string message;  // for the page's console when refused
};

// A method call; `inGesture` says whether it came within a user gesture (the bridge's relay
// measures it where the page cannot fake it; the plug-in cannot tell and passes false).
MemberOutcome CallMember(PageInstance& page, const Member& member, const ScriptArgs& arguments,
                         bool inGesture);
ScriptValue GetMember(PageInstance& page, const Member& member);
void SetMember(PageInstance& page, const Member& member, const ScriptValue& value);

// The members that read the system clipboard.
bool ReadsClipboard(const Member& member);

}  // namespace script
