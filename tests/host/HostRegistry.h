// Process-wide browser state behind the test host's browser functions: allocations, live
// objects, interned identifiers, the async-call queue and the records tests read.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "TestHost.h"

namespace testhost::detail {

struct AsyncCall {
    NPP npp;
    void (*func)(void*);
    void* data;
};

struct IdentifierRecord {
    bool is_string;
    std::string name;
    int32_t number;
};

struct ObjectRecord {
    uint64_t generation;
};

struct Registry {
    std::mutex mu;
    std::condition_variable queued;

    // The active host; generation 0 means none.
    uint64_t generation = 0;
    uint64_t last_generation = 0;
    std::thread::id main_thread;

    std::unordered_map<void*, uint64_t> allocations;  // block -> generation
    size_t total_allocations = 0;
    size_t off_main_allocations = 0;

    std::unordered_map<NPObject*, ObjectRecord> objects;

    std::map<std::string, std::unique_ptr<IdentifierRecord>> string_ids;
    std::map<int32_t, std::unique_ptr<IdentifierRecord>> int_ids;
    std::set<const void*> valid_ids;

    std::deque<AsyncCall> queue;
    std::set<NPP> known_instances;
    std::set<NPP> live_instances;
    bool run_for_destroyed = false;
    size_t dropped_calls = 0;

    NPObject* window = nullptr;
    std::vector<SetValueRecord> set_values;
    std::vector<ExceptionRecord> exceptions;
    std::vector<std::string> violations;
};

// Never destroyed, so that module threads still running at exit find it.
Registry& GetRegistry();

// Callers hold the registry lock.
bool OnMainThreadLocked(const Registry& registry);
void NoteLocked(Registry& registry, const std::string& what);
// Records `what` as a violation when the calling thread is not the host's main thread.
void RequireMainThreadLocked(Registry& registry, const char* function);

void NoteViolation(const std::string& what);
// The record behind an identifier this host handed out; null for anything else.
const IdentifierRecord* LookupIdentifier(NPIdentifier identifier);

// The browser functions, also used by the host itself.
void* MemAlloc(uint32_t size);
void MemFree(void* block);
NPObject* CreateObject(NPP npp, NPClass* cls);
NPObject* RetainObject(NPObject* object);
void ReleaseObject(NPObject* object);
void ReleaseVariantValue(NPVariant* variant);
NPIdentifier GetStringIdentifier(const NPUTF8* name);
NPIdentifier GetIntIdentifier(int32_t number);

}  // namespace testhost::detail
