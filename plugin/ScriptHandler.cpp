#include "plugin/ScriptHandler.h"

#include <algorithm>
#include <vector>

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
    ToNPVariant(plugin.npp(), plugin.windowObject(),
                member_->call(plugin.page(), script::ScriptArgs(values)), result);
}

void ScriptHandler::Get(CPlugin& plugin, NPVariant* result) const {
    if (member_->get)
        ToNPVariant(plugin.npp(), plugin.windowObject(), member_->get(plugin.page()), result);
}

void ScriptHandler::Set(CPlugin& plugin, const NPVariant& value) const {
    if (member_->set) member_->set(plugin.page(), FromNPVariant(plugin.npp(), value));
}
