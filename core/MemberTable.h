// The page interface: every method and property of the page object in registration order,
// with its kind, how many arguments it reads and its handler over the core's values. Every
// binding dispatches through this one table.
#pragma once

#include <cstddef>
#include <vector>

#include "script/ScriptValue.h"

class PageInstance;

namespace script {

enum class MemberKind { kMethod, kProperty };

struct Member {
    const char* name;
    MemberKind kind;
    // Arguments a method reads (the page may pass fewer: the missing ones are void).
    size_t argumentCount;
    // Methods: the arguments in, the result out (void when the member gives none).
    ScriptValue (*call)(PageInstance& page, const ScriptArgs& arguments);
    // Properties: the value read (void for a write-only property) and the value written
    // (ignored by a read-only one).
    ScriptValue (*get)(PageInstance& page);
    void (*set)(PageInstance& page, const ScriptValue& value);
};

// The 38 methods, then the 16 properties, in registration order.
const std::vector<Member>& MemberTable();
// Null for a name that is not a member of that kind.
const Member* FindMember(const char* name, MemberKind kind);

}  // namespace script
