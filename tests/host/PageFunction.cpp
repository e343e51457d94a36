#include <mutex>

#include "HostRegistry.h"
#include "PageObjects.h"
#include "TestHost.h"

namespace testhost {

PageFunction::PageFunction(const PageFunction& other)
    : object_(detail::RetainObject(other.object_)) {}

PageFunction& PageFunction::operator=(const PageFunction& other) {
    if (this != &other) {
        NPObject* previous = object_;
        object_ = detail::RetainObject(other.object_);
        detail::ReleaseObject(previous);
    }
    return *this;
}

PageFunction::~PageFunction() {
    detail::ReleaseObject(object_);
}

std::vector<std::vector<Value>> PageFunction::Calls() const {
    detail::FunctionObject* f = detail::AsFunction(object_);
    if (f == nullptr) return {};
    std::lock_guard<std::mutex> lock(f->mu);
    return f->calls;
}

size_t PageFunction::CallCount() const {
    detail::FunctionObject* f = detail::AsFunction(object_);
    if (f == nullptr) return 0;
    std::lock_guard<std::mutex> lock(f->mu);
    return f->calls.size();
}

std::vector<std::string> PageFunction::StringArgs(size_t index) const {
    std::vector<std::string> texts;
    for (const std::vector<Value>& call : Calls()) {
        if (index >= call.size())
            texts.push_back("<missing>");
        else if (call[index].IsString())
            texts.push_back(call[index].AsString());
        else
            texts.push_back(call[index].Describe());
    }
    return texts;
}

void PageFunction::ClearCalls() {
    detail::FunctionObject* f = detail::AsFunction(object_);
    if (f == nullptr) return;
    std::vector<std::vector<Value>> dropped;
    std::lock_guard<std::mutex> lock(f->mu);
    dropped.swap(f->calls);
}

void PageFunction::SetResult(const Value& result) {
    detail::FunctionObject* f = detail::AsFunction(object_);
    if (f == nullptr) return;
    std::lock_guard<std::mutex> lock(f->mu);
    f->result = result;
}

void PageFunction::SetThrows(bool throws) {
    detail::FunctionObject* f = detail::AsFunction(object_);
    if (f == nullptr) return;
    std::lock_guard<std::mutex> lock(f->mu);
    f->throws = throws;
}

}  // namespace testhost
