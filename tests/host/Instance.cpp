#include "HostRegistry.h"
#include "TestHost.h"

namespace testhost {

Instance::Instance(TestHost* host, const std::string& mime,
                   const std::vector<std::pair<std::string, std::string>>& attributes)
    : host_(host), mime_(mime) {
    attribute_storage_.reserve(attributes.size() * 2);
    for (const auto& attribute : attributes) {
        attribute_storage_.push_back(attribute.first);
        attribute_storage_.push_back(attribute.second);
    }
    for (size_t i = 0; i < attribute_storage_.size(); i += 2) {
        argn_.push_back(&attribute_storage_[i][0]);
        argv_.push_back(&attribute_storage_[i + 1][0]);
    }
    argn_.push_back(nullptr);
    argv_.push_back(nullptr);
}

NPError Instance::SetWindow(void* handle, uint32_t width, uint32_t height) {
    if (host_->plugin_functions_.setwindow == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    window_.window = handle;
    window_.x = 0;
    window_.y = 0;
    window_.width = width;
    window_.height = height;
    window_.clipRect = NPRect{0, 0, static_cast<uint16_t>(height), static_cast<uint16_t>(width)};
#if !defined(_WIN32)
    window_.ws_info = nullptr;
#endif
    window_.type = handle != nullptr ? NPWindowTypeWindow : NPWindowTypeDrawable;
    return host_->plugin_functions_.setwindow(&npp_, &window_);
}

NPError Instance::SetNullWindow() {
    if (host_->plugin_functions_.setwindow == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    return host_->plugin_functions_.setwindow(&npp_, nullptr);
}

NPError Instance::GetValue(NPPVariable variable, void* result) {
    if (host_->plugin_functions_.getvalue == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    return host_->plugin_functions_.getvalue(&npp_, variable, result);
}

NPError Instance::SetValue(NPNVariable variable, void* value) {
    if (host_->plugin_functions_.setvalue == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    return host_->plugin_functions_.setvalue(&npp_, variable, value);
}

NPObject* Instance::ScriptObject() {
    if (script_object_ == nullptr && alive_) {
        NPObject* object = nullptr;
        if (GetValue(NPPVpluginScriptableNPObject, &object) == NPERR_NO_ERROR)
            script_object_ = object;
    }
    return script_object_;
}

ScriptResult Instance::Call(const std::string& method, const std::vector<Value>& args) {
    return host_->Call(ScriptObject(), method, args);
}

ScriptResult Instance::CallDefault(const std::vector<Value>& args) {
    return host_->CallDefault(ScriptObject(), args);
}

ScriptResult Instance::Get(const std::string& property) {
    return host_->Get(ScriptObject(), property);
}

bool Instance::Set(const std::string& property, const Value& value) {
    return host_->Set(ScriptObject(), property, value);
}

bool Instance::HasMethod(const std::string& name) {
    return host_->HasMethod(ScriptObject(), name);
}

bool Instance::HasProperty(const std::string& name) {
    return host_->HasProperty(ScriptObject(), name);
}

NPError Instance::Destroy() {
    if (!alive_) return NPERR_INVALID_INSTANCE_ERROR;
    NPSavedData* saved = nullptr;
    NPError result = host_->plugin_functions_.destroy != nullptr
                         ? host_->plugin_functions_.destroy(&npp_, &saved)
                         : NPERR_INVALID_FUNCTABLE_ERROR;
    alive_ = false;
    {
        detail::Registry& r = detail::GetRegistry();
        std::lock_guard<std::mutex> lock(r.mu);
        r.live_instances.erase(&npp_);
    }
    if (saved != nullptr) {
        detail::MemFree(saved->buf);
        detail::MemFree(saved);
    }
    // Script may outlive the element: the page's reference goes only after the instance.
    NPObject* object = script_object_;
    script_object_ = nullptr;
    detail::ReleaseObject(object);
    return result;
}

}  // namespace testhost
