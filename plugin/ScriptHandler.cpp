#include "plugin/ScriptHandler.h"

#include <algorithm>
#include <vector>

#include "core/MemberCalls.h"
#include "core/PageInstance.h"
#include "plugin/CPlugin.h"
#include "plugin/ScriptValues.h"

void ScriptHandler::Invoke(CPlugin& plugin, const NPVariant* args, uint32_t argCount,
                           NPVariant* result) const {
    // Only the arguments the member reads are converted.
    const size_t count = args ? std::min<size_t>(argCount, member_->argumentCount) : 0;
    std::vector<script::ScriptValue> values;
    values.reserve(count);
    for (size_t i = 0; i < count; ++i) values.push_back(FromNPVariant(plugin.npp(), args[i]));
    // The engines that host the plug-in give it no sign of a user gesture.
    const script::MemberOutcome outcome =
        script::CallMember(plugin.page(), *member_, script::ScriptArgs(values), false);
    ToNPVariant(plugin.npp(), plugin.windowObject(), outcome.value, result);
}

void ScriptHandler::Get(CPlugin& plugin, NPVariant* result) const {
    if (member_->get)
        ToNPVariant(plugin.npp(), plugin.windowObject(), script::GetMember(plugin.page(), *member_),
                    result);
}

void ScriptHandler::Set(CPlugin& plugin, const NPVariant& value) const {
    if (member_->set)
        script::SetMember(plugin.page(), *member_, FromNPVariant(plugin.npp(), value));
}
