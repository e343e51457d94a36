// Object lifetimes, identifiers, allocations and script calls made through an object's class.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "TestHost.h"

namespace testhost {
namespace {

// A small script object: method "twice" doubles an int, property "name" holds a string that is
// returned in an NPN_MemAlloc buffer.
struct Counter : NPObject {
    static int allocated;
    static int deallocated;
    static int invokes;
    std::string name = "counter";
};
int Counter::allocated = 0;
int Counter::deallocated = 0;
int Counter::invokes = 0;

bool IsName(NPIdentifier id, const char* name) {
    return id == TestHost::Identifier(name);
}

NPObject* CounterAllocate(NPP, NPClass*) {
    ++Counter::allocated;
    return new Counter;
}
void CounterDeallocate(NPObject* object) {
    ++Counter::deallocated;
    delete static_cast<Counter*>(object);
}
bool CounterHasMethod(NPObject*, NPIdentifier id) {
    return IsName(id, "twice");
}
bool CounterInvoke(NPObject*, NPIdentifier id, const NPVariant* args, uint32_t count,
                   NPVariant* result) {
    ++Counter::invokes;
    if (!IsName(id, "twice") || count != 1 || args[0].type != NPVariantType_Int32) return false;
    INT32_TO_NPVARIANT(args[0].value.intValue * 2, *result);
    return true;
}
bool CounterHasProperty(NPObject*, NPIdentifier id) {
    return IsName(id, "name");
}
bool CounterGetProperty(NPObject* object, NPIdentifier id, NPVariant* result) {
    if (!IsName(id, "name")) return false;
    const std::string& name = static_cast<Counter*>(object)->name;
    NPNetscapeFuncs* browser = TestHost::BrowserFunctions();
    char* copy = static_cast<char*>(browser->memalloc(static_cast<uint32_t>(name.size())));
    std::memcpy(copy, name.data(), name.size());
    STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(name.size()), *result);
    return true;
}
bool CounterSetProperty(NPObject* object, NPIdentifier id, const NPVariant* value) {
    if (!IsName(id, "name") || !NPVARIANT_IS_STRING(*value)) return false;
    static_cast<Counter*>(object)->name.assign(value->value.stringValue.UTF8Characters,
                                               value->value.stringValue.UTF8Length);
    return true;
}

NPClass kCounterClass = {NP_CLASS_STRUCT_VERSION,
                         &CounterAllocate,
                         &CounterDeallocate,
                         nullptr,
                         &CounterHasMethod,
                         &CounterInvoke,
                         nullptr,
                         &CounterHasProperty,
                         &CounterGetProperty,
                         &CounterSetProperty,
                         nullptr,
                         nullptr,
                         nullptr};

class ObjectsTest : public ::testing::Test {
  protected:
    void SetUp() override { Counter::allocated = Counter::deallocated = Counter::invokes = 0; }
    TestHost host;
    NPNetscapeFuncs* browser = TestHost::BrowserFunctions();
};

TEST_F(ObjectsTest, ReferenceCountingDeallocatesThroughTheClassAtZero) {
    NPObject* object = browser->createobject(nullptr, &kCounterClass);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->_class, &kCounterClass);
    EXPECT_EQ(host.ReferenceCount(object), 1);
    EXPECT_EQ(host.LiveObjectCount(&kCounterClass), 1u);

    EXPECT_EQ(browser->retainobject(object), object);
    EXPECT_EQ(host.ReferenceCount(object), 2);
    {
        Value held(object);
        Value copy = held;
        EXPECT_EQ(host.ReferenceCount(object), 4);
    }
    browser->releaseobject(object);
    EXPECT_EQ(Counter::deallocated, 0);
    browser->releaseobject(object);
    EXPECT_EQ(Counter::deallocated, 1);
    EXPECT_FALSE(host.IsLive(object));
    EXPECT_EQ(host.ReferenceCount(object), -1);
    EXPECT_EQ(host.LiveObjectCount(&kCounterClass), 0u);
    EXPECT_TRUE(host.Violations().empty());

    // A release too many is caught without touching the freed object.
    browser->releaseobject(object);
    EXPECT_EQ(Counter::deallocated, 1);
    ASSERT_EQ(host.Violations().size(), 1u);
    EXPECT_NE(host.Violations()[0].find("NPN_ReleaseObject"), std::string::npos);
}

TEST_F(ObjectsTest, ClassWithoutAllocateGetsAPlainBlock) {
    NPClass bare = {NP_CLASS_STRUCT_VERSION,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr};
    NPObject* object = browser->createobject(nullptr, &bare);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->_class, &bare);
    EXPECT_EQ(object->referenceCount, 1u);
    browser->releaseobject(object);  // freed with free(); the sanitizers check the pairing
    EXPECT_FALSE(host.IsLive(object));
}

TEST_F(ObjectsTest, IdentifiersAreInternedAndNamesComeBackInMemAllocBuffers) {
    NPIdentifier a = browser->getstringidentifier("Version");
    EXPECT_EQ(browser->getstringidentifier("Version"), a);
    EXPECT_NE(browser->getstringidentifier("version"), a);
    EXPECT_EQ(browser->getintidentifier(7), browser->getintidentifier(7));
    EXPECT_NE(browser->getintidentifier(7), browser->getintidentifier(8));

    const NPUTF8* names[] = {"Init", "Version"};
    NPIdentifier ids[2] = {nullptr, nullptr};
    browser->getstringidentifiers(names, 2, ids);
    EXPECT_EQ(ids[0], browser->getstringidentifier("Init"));
    EXPECT_EQ(ids[1], a);

    EXPECT_TRUE(browser->identifierisstring(a));
    EXPECT_FALSE(browser->identifierisstring(browser->getintidentifier(7)));
    EXPECT_EQ(browser->intfromidentifier(browser->getintidentifier(-3)), -3);
    EXPECT_EQ(browser->utf8fromidentifier(browser->getintidentifier(7)), nullptr);

    NPUTF8* name = browser->utf8fromidentifier(a);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Version");
    EXPECT_EQ(host.OutstandingAllocations(), 1u);
    browser->memfree(name);
    EXPECT_EQ(host.OutstandingAllocations(), 0u);
    EXPECT_TRUE(host.Violations().empty());

    int not_an_identifier = 0;
    EXPECT_FALSE(browser->identifierisstring(&not_an_identifier));
    EXPECT_EQ(host.Violations().size(), 1u);
}

TEST_F(ObjectsTest, AllocationsAreTrackedAndForeignFreesAreRefused) {
    void* first = browser->memalloc(16);
    void* empty = browser->memalloc(0);
    EXPECT_NE(empty, nullptr);
    EXPECT_EQ(host.OutstandingAllocations(), 2u);
    browser->memfree(first);
    browser->memfree(empty);
    browser->memfree(nullptr);
    EXPECT_EQ(host.OutstandingAllocations(), 0u);
    EXPECT_EQ(host.TotalAllocations(), 2u);
    EXPECT_TRUE(host.Violations().empty());

    char on_stack[4];
    browser->memfree(on_stack);  // would crash a real allocator
    EXPECT_EQ(host.Violations().size(), 1u);

    std::thread worker([this] { browser->memfree(browser->memalloc(8)); });
    worker.join();
    EXPECT_EQ(host.OffMainThreadAllocations(), 1u);
    EXPECT_EQ(host.Violations().size(), 1u);  // allowed off the main thread
}

TEST_F(ObjectsTest, ReleaseVariantValueFreesStringsAndReleasesObjects) {
    NPObject* object = browser->createobject(nullptr, &kCounterClass);
    NPVariant variant;
    OBJECT_TO_NPVARIANT(object, variant);
    browser->releasevariantvalue(&variant);
    EXPECT_EQ(Counter::deallocated, 1);
    EXPECT_TRUE(NPVARIANT_IS_VOID(variant));

    char* text = static_cast<char*>(browser->memalloc(3));
    std::memcpy(text, "abc", 3);
    STRINGN_TO_NPVARIANT(text, 3, variant);
    browser->releasevariantvalue(&variant);
    EXPECT_EQ(host.OutstandingAllocations(), 0u);
    EXPECT_TRUE(host.Violations().empty());

    // A string the browser did not allocate is reported, not freed.
    STRINGN_TO_NPVARIANT("literal", 7, variant);
    browser->releasevariantvalue(&variant);
    EXPECT_EQ(host.Violations().size(), 1u);
}

TEST_F(ObjectsTest, ScriptCallsGoThroughTheClassAndReleaseResults) {
    NPObject* object = browser->createobject(nullptr, &kCounterClass);

    ScriptResult twice = host.Call(object, "twice", {21});
    EXPECT_TRUE(twice.ok);
    EXPECT_EQ(twice.value, Value(42));

    // An unknown method fails at hasMethod, as in a browser; invoke is never reached.
    const int invokes = Counter::invokes;
    EXPECT_FALSE(host.Call(object, "thrice", {1}).ok);
    EXPECT_EQ(Counter::invokes, invokes);

    ScriptResult name = host.Get(object, "name");
    EXPECT_TRUE(name.ok);
    EXPECT_EQ(name.value, Value("counter"));
    EXPECT_EQ(host.OutstandingAllocations(), 0u);  // the module's buffer went back

    EXPECT_TRUE(host.Set(object, "name", Value(std::string("a\0b", 3))));
    EXPECT_EQ(host.Get(object, "name").value.AsString(), std::string("a\0b", 3));
    EXPECT_FALSE(host.Set(object, "missing", 1));
    EXPECT_FALSE(host.Get(object, "twice").ok);
    EXPECT_TRUE(host.HasMethod(object, "twice"));
    EXPECT_FALSE(host.HasProperty(object, "twice"));
    EXPECT_FALSE(host.CallDefault(object).ok);  // the class has no invokeDefault

    browser->releaseobject(object);
    EXPECT_FALSE(host.Call(object, "twice", {1}).ok);  // a dead object is never entered
    EXPECT_FALSE(host.Violations().empty());
}

TEST_F(ObjectsTest, ScriptCallsOffTheMainThreadAreViolations) {
    NPObject* object = browser->createobject(nullptr, &kCounterClass);
    std::thread worker([&] {
        NPVariant result;
        if (browser->getproperty(nullptr, object, browser->getstringidentifier("name"), &result))
            browser->releasevariantvalue(&result);
    });
    worker.join();
    std::vector<std::string> violations = host.Violations();
    ASSERT_FALSE(violations.empty());
    EXPECT_NE(violations[0].find("off the main thread"), std::string::npos);
    browser->releaseobject(object);
}

TEST(ValueTest, CopiesTakeTheBytesAndDescribeThemselves) {
    NPVariant variant;
    STRINGN_TO_NPVARIANT("a\0bc", 4, variant);
    Value copy = Value::CopyOf(variant);
    EXPECT_EQ(copy.AsString(), std::string("a\0bc", 4));
    EXPECT_EQ(Value(2.5).Describe(), "2.5");
    EXPECT_EQ(Value("x").Describe(), "\"x\"");
    EXPECT_EQ(Value::Null().Describe(), "null");
    EXPECT_NE(Value(1), Value(1.0));
    EXPECT_EQ(Value(7).AsString(), "");
    EXPECT_TRUE(Value(static_cast<NPObject*>(nullptr)).IsNull());
}

}  // namespace
}  // namespace testhost
