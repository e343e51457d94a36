#include <gtest/gtest.h>

#include "config/AppConfig.h"
#include "config/ConfigDocument.h"

namespace {

Json::Value Parse(const std::string& text) {
    Json::Value root;
    EXPECT_TRUE(config::ParseDocument(text, root)) << text;
    return root;
}

TEST(ConfigConversions, StringKeys) {
    const Json::Value o =
        Parse(R"({"s":"x","n":null,"t":true,"f":false,"i":1,"a":[],"o":{}} // trailing comment)");
    std::string out, error;
    EXPECT_TRUE(config::ReadString(o, "s", "d", out, error));
    EXPECT_EQ(out, "x");
    EXPECT_TRUE(config::ReadString(o, "missing", "d", out, error));
    EXPECT_EQ(out, "d");
    EXPECT_TRUE(config::ReadString(o, "n", "d", out, error));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(config::ReadString(o, "t", "", out, error));
    EXPECT_EQ(out, "true");
    EXPECT_TRUE(config::ReadString(o, "f", "", out, error));
    EXPECT_EQ(out, "false");
    for (const char* key : {"i", "a", "o"}) {
        error.clear();
        EXPECT_FALSE(config::ReadString(o, key, "", out, error)) << key;
        EXPECT_EQ(error, "Type is not convertible to string");
    }
}

TEST(ConfigConversions, BoolKeysFollowTruthinessNotText) {
    const Json::Value o = Parse(
        R"({"t":true,"z":0,"one":2,"r":0.5,"sf":"false","se":"","a":[1],"ae":[],"o":{"k":1},"n":null})");
    const std::pair<const char*, bool> cases[] = {
        {"t", true}, {"z", false},  {"one", true}, {"r", true},  {"sf", true},      {"se", false},
        {"a", true}, {"ae", false}, {"o", true},   {"n", false}, {"missing", false}};
    for (const auto& c : cases) {
        bool out = !c.second;
        config::ReadBool(o, c.first, false, out);
        EXPECT_EQ(out, c.second) << c.first;
    }
}

TEST(ConfigConversions, IntegerKeysAndTheirFailureTexts) {
    const Json::Value o =
        Parse(R"({"i":7,"neg":-3,"n":null,"t":true,"max":2147483647,"big":2147483648,)"
              R"("r":-2.9,"rbig":3e10,"s":"7","a":[]})");
    int32_t out = 0;
    std::string error;
    EXPECT_TRUE(config::ReadInt(o, "i", 0, out, error));
    EXPECT_EQ(out, 7);
    EXPECT_TRUE(config::ReadInt(o, "neg", 0, out, error));
    EXPECT_EQ(out, -3);
    EXPECT_TRUE(config::ReadInt(o, "n", 5, out, error));
    EXPECT_EQ(out, 0);
    EXPECT_TRUE(config::ReadInt(o, "t", 0, out, error));
    EXPECT_EQ(out, 1);
    EXPECT_TRUE(config::ReadInt(o, "max", 0, out, error));
    EXPECT_EQ(out, 2147483647);
    EXPECT_TRUE(config::ReadInt(o, "r", 0, out, error));
    EXPECT_EQ(out, -2);
    EXPECT_FALSE(config::ReadInt(o, "big", 0, out, error));
    EXPECT_EQ(error, "integer out of signed integer range");
    EXPECT_FALSE(config::ReadInt(o, "rbig", 0, out, error));
    EXPECT_EQ(error, "Real out of signed integer range");
    EXPECT_FALSE(config::ReadInt(o, "s", 0, out, error));
    EXPECT_EQ(error, "Type is not convertible to int");
    EXPECT_FALSE(config::ReadInt(o, "a", 0, out, error));
}

TEST(UploaderConfig, TypedKeysAndAllOrNothing) {
    config::UploaderConfig c;
    std::string error;
    ASSERT_TRUE(config::ReadUploaderConfig(Parse(R"({"idLoc":7,"Width":"640","pathLoc":"/a b"})"),
                                           c, error));
    EXPECT_EQ(c.idLoc, 7);
    EXPECT_EQ(c.width, 640);
    EXPECT_EQ(c.pathLoc, "/a b");
    EXPECT_EQ(c.postUrl, "") << "absent PostUrl reads as empty (and clears the address)";
    EXPECT_EQ(c.jpgQuality, "100");

    config::UploaderConfig untouched;
    untouched.idLoc = 99;
    EXPECT_FALSE(config::ReadUploaderConfig(Parse(R"({"idLoc":"7"})"), untouched, error));
    EXPECT_EQ(untouched.idLoc, 99);
    EXPECT_FALSE(config::ReadUploaderConfig(Parse(R"({"Width":640,"idLoc":3})"), untouched, error));
    EXPECT_EQ(untouched.idLoc, 99) << "a failing key leaves every key unapplied";
    EXPECT_FALSE(config::ReadUploaderConfig(Json::Value("not an object"), untouched, error));
}

TEST(Fields, AddedInByteOrderAndExistingNamesKeepTheirValues) {
    FormFieldMap fields{{"a", "1"}};
    std::string error;
    ASSERT_TRUE(config::AddFields(Parse(R"({"b":"2","a":"changed","B":true})"), fields, error));
    EXPECT_EQ(fields, (FormFieldMap{{"B", "true"}, {"a", "1"}, {"b", "2"}}));
    // A value that is not convertible stops the rest; earlier names stay added.
    FormFieldMap partial;
    EXPECT_FALSE(config::AddFields(Parse(R"({"a":"1","b":2,"c":"3"})"), partial, error));
    EXPECT_EQ(partial, (FormFieldMap{{"a", "1"}}));
}

TEST(InitDocument, AppliesConfigThenFieldsToTheProcess) {
    AppConfig& app = AppConfig::Instance();
    std::string error;
    EXPECT_TRUE(config::ApplyInitDocument(
        R"({"config":{"PostUrl":"http://h/up","Session":"sid=1"},"fields":{"zeta":"1"}})", error));
    EXPECT_EQ(app.postUrl, "http://h/up");
    EXPECT_EQ(app.session, "sid=1");
    EXPECT_EQ(app.fields->at("zeta"), "1");

    EXPECT_TRUE(
        config::ApplyInitDocument(R"({"config":{"PostUrl":""},"fields":{"zeta":"2"}})", error));
    EXPECT_EQ(app.postUrl, "http://h/up") << "an empty PostUrl keeps the address";
    EXPECT_EQ(app.fields->at("zeta"), "1") << "fields only grow";

    EXPECT_FALSE(config::ApplyInitDocument("{not json", error));
    EXPECT_FALSE(config::ApplyInitDocument("[1,2]", error));
    EXPECT_TRUE(config::ApplyInitDocument("", error));
    EXPECT_FALSE(config::ApplyInitDocument(R"({"config":{"PostUrl":5,"Session":"other"}})", error));
    EXPECT_EQ(app.session, "sid=1") << "nothing of a failing config is applied";
}

}  // namespace
