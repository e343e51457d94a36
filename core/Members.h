// The member families, each in registration order. core/MemberTable.cpp puts them in the
// order of the interface: the methods of every family, the general methods, then the
// properties.
#pragma once

#include <vector>

#include "core/MemberTable.h"

namespace script {

std::vector<Member> WordParserMethods();
std::vector<Member> ImagePasterMethods();
std::vector<Member> FileUploaderMethods();
std::vector<Member> GeneralMethods();
std::vector<Member> GeneralProperties();
std::vector<Member> WordParserProperties();
std::vector<Member> ImagePasterProperties();
// "StateChanged", registered last.
std::vector<Member> EventProperties();

// Table rows.
inline Member Method(const char* name, size_t argumentCount,
                     ScriptValue (*call)(PageInstance&, const ScriptArgs&)) {
    return Member{name, MemberKind::kMethod, argumentCount, call, nullptr, nullptr};
}
inline Member Property(const char* name, ScriptValue (*get)(PageInstance&),
                       void (*set)(PageInstance&, const ScriptValue&)) {
    return Member{name, MemberKind::kProperty, 0, nullptr, get, set};
}

}  // namespace script
