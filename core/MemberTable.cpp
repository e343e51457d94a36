#include "core/MemberTable.h"

#include <cstring>

#include "core/Members.h"

namespace script {

const std::vector<Member>& MemberTable() {
    static const std::vector<Member> table = [] {
        std::vector<Member> all;
        for (const auto& family : {WordParserMethods(), ImagePasterMethods(), FileUploaderMethods(),
                                   GeneralMethods(), GeneralProperties(), WordParserProperties(),
                                   ImagePasterProperties(), EventProperties()})
            all.insert(all.end(), family.begin(), family.end());
        return all;
    }();
    return table;
}

const Member* FindMember(const char* name, MemberKind kind) {
    if (!name) return nullptr;
    for (const Member& member : MemberTable())
        if (member.kind == kind && std::strcmp(member.name, name) == 0) return &member;
    return nullptr;
}

}  // namespace script
