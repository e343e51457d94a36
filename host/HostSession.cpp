#include "host/HostSession.h"

#include <json/reader.h>

#include <cstdio>
#include <vector>

#include "config/PolicySource.h"
#include "core/MemberCalls.h"
#include "core/MemberTable.h"
#include "core/PageInstance.h"
#include "host/JsonValues.h"

namespace host {
namespace {

bool ParseMessage(const std::string& text, Json::Value& out) {
    static const Json::CharReaderBuilder builder = [] {
        Json::CharReaderBuilder b;
        Json::CharReaderBuilder::strictMode(&b.settings_);
        b["allowSpecialFloats"] = false;
        return b;
    }();
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &out, &errors)) {
        std::fprintf(stderr, "quillon-host: malformed message: %s\n", errors.c_str());
        return false;
    }
    return out.isObject();
}

}  // namespace

HostSession::HostSession(HostLoop& loop, std::shared_ptr<MessageWriter> writer)
    : loop_(loop), writer_(std::move(writer)) {}

HostSession::~HostSession() {
    End();
}

void HostSession::End() {
    page_.reset();
}

bool HostSession::Handle(const std::string& text) {
    Json::Value message;
    if (!ParseMessage(text, message)) {
        std::fprintf(stderr, "quillon-host: not a message, the session ends\n");
        return false;
    }
    const std::string type = message["type"].isString() ? message["type"].asString() : "";
    if (!page_) {
        if (type == "hello") return Hello(message);
        std::fprintf(stderr, "quillon-host: \"%s\" before \"hello\", the session ends\n",
                     type.c_str());
        return false;
    }
    if (type == "call" || type == "get" || type == "set") {
        Request(type, message);
    } else if (type == "release") {
        Release(message);
    } else {
        SendError(message["id"], type.empty() ? std::string("a message without a type")
                                              : "unknown message type \"" + type + "\"");
    }
    return true;
}

bool HostSession::Hello(const Json::Value& message) {
    const Json::Value& origin = message["origin"];
    if (!origin.isString()) {
        std::fprintf(stderr, "quillon-host: \"hello\" without an origin, the session ends\n");
        return false;
    }
    origin_ = origin.asString();
    page_.reset(new PageInstance(loop_));
    // Without a document the bridge keeps its safe defaults: clipboard reads only in a user
    // gesture, only files a paste reported may be uploaded.
    page_->ApplyPolicy(config::LoadPolicy(config::BridgeDefaults()), origin_);
    if (!page_->policy().PageAllowed()) {
        // Said once: the extension shows it in the page's console; every member then gives
        // undefined.
        Json::Value refused(Json::objectValue);
        refused["type"] = "refused";
        refused["message"] = WellFormedUtf8(page_->policy().PageRefusal());
        writer_->Send(refused);
    }
    return true;
}

void HostSession::Request(const std::string& type, const Json::Value& message) {
    const Json::Value& id = message["id"];
    const Json::Value& name = message["member"];
    if (!name.isString()) return SendError(id, "no member named");
    const std::string member = name.asString();
    const bool isMethod = type == "call";
    const script::Member* entry = script::FindMember(
        member.c_str(), isMethod ? script::MemberKind::kMethod : script::MemberKind::kProperty);
    if (!entry) {
        return SendError(id, std::string(isMethod ? "no method " : "no property ") + member);
    }
    const ObjectLookup objects = [this](int64_t objectId) { return Object(objectId); };
    if (isMethod) {
        std::vector<script::ScriptValue> arguments;
        const Json::Value& args = message["args"];
        if (args.isArray()) {
            for (const Json::Value& arg : args) arguments.push_back(FromJson(arg, objects));
        }
        // The member reads only its own arguments; page objects passed beyond them are
        // released at once, so the page-world script lets go of them too.
        if (arguments.size() > entry->argumentCount) arguments.resize(entry->argumentCount);
        // The relay says whether the call came within a user gesture; the policy decides.
        const bool inGesture = message["gesture"].isBool() && message["gesture"].asBool();
        const script::MemberOutcome outcome =
            script::CallMember(*page_, *entry, script::ScriptArgs(arguments), inGesture);
        if (outcome.refusal == script::Refusal::kClipboard)
            return SendError(id, outcome.message, true);
        return SendResult(id, outcome.value);
    }
    if (type == "get") return SendResult(id, script::GetMember(*page_, *entry));
    const script::ScriptValue value =
        message.isMember("value") ? FromJson(message["value"], objects) : script::ScriptValue();
    script::SetMember(*page_, *entry, value);
    SendResult(id, script::ScriptValue());
}

void HostSession::Release(const Json::Value& message) {
    int64_t id = 0;
    if (!ReadObjectId(message["object"], id)) return;
    auto it = objects_.find(id);
    if (it == objects_.end()) return;
    if (std::shared_ptr<JsObjectHandle> handle = it->second.lock()) handle->Disown();
    objects_.erase(it);
}

script::ObjectHandle HostSession::Object(int64_t id) {
    auto it = objects_.find(id);
    if (it != objects_.end()) {
        if (std::shared_ptr<JsObjectHandle> handle = it->second.lock()) return handle;
    }
    // Expired entries are dropped whenever the map has doubled, so it stays within twice the
    // live handles at a constant cost per new one.
    if (objects_.size() >= 2 * prunedSize_ + 16) {
        for (auto e = objects_.begin(); e != objects_.end();) {
            e = e->second.expired() ? objects_.erase(e) : std::next(e);
        }
        prunedSize_ = objects_.size();
    }
    auto handle = std::make_shared<JsObjectHandle>(id, writer_);
    objects_[id] = handle;
    return handle;
}

void HostSession::SendError(const Json::Value& id, const std::string& text, bool console) {
    Json::Value message(Json::objectValue);
    message["type"] = "error";
    if (!id.isNull()) message["id"] = id;
    message["message"] = WellFormedUtf8(text);
    if (console) message["console"] = true;
    writer_->Send(message);
}

void HostSession::SendResult(const Json::Value& id, const script::ScriptValue& value) {
    Json::Value message(Json::objectValue);
    message["type"] = "result";
    if (!id.isNull()) message["id"] = id;
    Json::Value out;
    if (ToJson(value, out)) message["value"] = out;
    writer_->Send(message);
}

}  // namespace host
