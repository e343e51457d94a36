#include "host/JsObjectHandle.h"

#include "host/JsonValues.h"

namespace host {

JsObjectHandle::JsObjectHandle(int64_t id, std::shared_ptr<MessageWriter> writer)
    : id_(id), writer_(std::move(writer)) {}

JsObjectHandle::~JsObjectHandle() {
    if (disowned_.load()) return;
    // Any thread: the writer serialises its frames.
    Json::Value message(Json::objectValue);
    message["type"] = "release";
    message["object"] = static_cast<Json::Int64>(id_);
    writer_->Send(message);
}

bool JsObjectHandle::Call(const std::vector<script::ScriptValue>& arguments) {
    if (disowned_.load()) return false;
    Json::Value message(Json::objectValue);
    message["type"] = "call";
    message["object"] = static_cast<Json::Int64>(id_);
    Json::Value& args = message["args"] = Json::Value(Json::arrayValue);
    for (const script::ScriptValue& argument : arguments) {
        Json::Value item;
        // Undefined arguments keep their place.
        if (!ToJson(argument, item)) {
            item = Json::Value(Json::objectValue);
            item["$void"] = true;
        }
        args.append(item);
    }
    return writer_->Send(message);
}

}  // namespace host
