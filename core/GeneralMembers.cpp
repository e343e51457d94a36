// The instance's own members: the process settings ("Init", "Session"), logging, the paste
// command and the page's event callback.
#include "Biz/Log.h"
#include "config/AppConfig.h"
#include "config/ConfigDocument.h"
#include "core/Members.h"
#include "core/PageInstance.h"
#include "core/Version.h"

namespace script {
namespace {

ScriptValue Init(PageInstance&, const ScriptArgs& args) {
    std::string error;
    if (!config::ApplyInitDocument(ToStdString(args[0]), error))
        QUILLON_TRACE(Log::kLog, 0, "Init: " << error);
    return ScriptValue();
}

ScriptValue HasData(PageInstance& page, const ScriptArgs&) {
    return BoolResult(page.HasData());
}

ScriptValue Paste(PageInstance& page, const ScriptArgs&) {
    page.Paste();
    return ScriptValue();
}

ScriptValue Version(PageInstance&) {
    return StringResult(kScriptVersion);
}

void Debug(PageInstance& page, const ScriptValue& value) {
    page.SetDebug(ToBool(value));
}

void LogFile(PageInstance& page, const ScriptValue& value) {
    page.SetLogFile(ToStdString(value));
}

void Session(PageInstance&, const ScriptValue& value) {
    AppConfig::Instance().session = ToStdString(value);
}

void StateChanged(PageInstance& page, const ScriptValue& value) {
    page.SetEventCallback(ToObject(value));
}

}  // namespace

std::vector<Member> GeneralMethods() {
    return {Method("Init", 1, &Init), Method("HasData", 0, &HasData), Method("Paste", 0, &Paste)};
}

std::vector<Member> GeneralProperties() {
    return {Property("Version", &Version, nullptr), Property("Debug", nullptr, &Debug),
            Property("LogFile", nullptr, &LogFile), Property("Session", nullptr, &Session)};
}

std::vector<Member> EventProperties() {
    return {Property("StateChanged", nullptr, &StateChanged)};
}

}  // namespace script
