// The policy document: origin patterns ("*" for one label or any port) and the members'
// forms; anything malformed refuses everything.
#include <gtest/gtest.h>

#include "config/Policy.h"

namespace {

TEST(PolicyDocumentTest, OriginPatternsMatchOneLabelOrAnyPortAndNothingMore) {
    struct Case {
        const char* pattern;
        const char* url;
        bool matches;
    } cases[] = {
        {"https://cms.example.com", "https://cms.example.com/edit?id=1", true},
        {"https://cms.example.com", "https://CMS.Example.com:443/", true},
        {"https://cms.example.com", "http://cms.example.com/", false},
        {"https://cms.example.com", "https://cms.example.com:8443/", false},
        {"https://cms.example.com", "https://cms.example.com.evil.net/", false},
        {"https://cms.example.com", "https://user@cms.example.com/", true},
        {"https://cms.example.com", "https://cms.example.com@evil.net/", false},
        {"https://*.example.com", "https://a.example.com/", true},
        {"https://*.example.com", "https://example.com/", false},
        {"https://*.example.com", "https://a.b.example.com/", false},
        {"https://*.example.com", "https://a.example.com.evil.net/", false},
        {"http://127.0.0.1:*", "http://127.0.0.1:8080/x", true},
        {"http://127.0.0.1:*", "http://127.0.0.1/x", true},
        {"http://127.0.0.1:*", "http://127.0.0.10:80/x", false},
        {"http://[::1]:*", "http://[::1]:3000/", true},
        {"http://localhost:8080", "http://localhost:8080", true},
        {"http://localhost:80", "http://localhost/", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(config::OriginMatches(c.pattern, config::OriginOf(c.url)), c.matches)
            << c.pattern << " vs " << c.url;
    }
    EXPECT_EQ(config::OriginOf("C:\\Users\\a.png"), "");
    EXPECT_EQ(config::OriginOf("null"), "");
    for (const char* bad : {"example.com", "https://", "https://a.com/path", "https://a.com:x",
                            "https://a.com:70000", "https://u@a.com", "*"})
        EXPECT_FALSE(config::IsOriginPattern(bad)) << bad;
}

TEST(PolicyDocumentTest, MembersOverrideTheDefaultsAndAnythingMalformedRefusesAll) {
    const config::Policy bridge = config::BridgeDefaults();
    config::Policy read = config::ParsePolicy(
        "// the site's editor\n{\"allowed_origins\": [\"https://*.example.com\"],"
        " \"upload_origins\": \"same-origin\", \"clipboard\": \"any\","
        " \"max_upload_bytes\": 1048576}",
        bridge, "/etc/npquillon/policy.json");
    ASSERT_FALSE(read.refuseAll) << read.refusal;
    EXPECT_FALSE(read.anyOrigin);
    EXPECT_EQ(read.uploads, config::Policy::Uploads::kSameOrigin);
    EXPECT_FALSE(read.gestureOnly);
    EXPECT_TRUE(read.pastedFilesOnly) << "a member left out keeps the binding's default";
    EXPECT_EQ(read.maxUploadBytes, 1048576);
    EXPECT_TRUE(config::AllowsTransfer(read, "https://a.example.com", "https://a.example.com/up"));
    EXPECT_FALSE(config::AllowsTransfer(read, "https://a.example.com", "https://b.example.com/"));

    for (const char* bad :
         {"", "{", "[]", "{\"allowed_origins\": \"https://a.com\"}",
          "{\"allowed_origins\": [\"https://a.com/\", 3]}", "{\"upload_origins\": \"none\"}",
          "{\"local_files\": true}", "{\"clipboard\": \"always\"}", "{\"max_upload_bytes\": -1}",
          "{\"max_upload_bytes\": 1.5}", "{\"max_upload_bytes\": \"10\"}"}) {
        const config::Policy policy = config::ParsePolicy(bad, bridge, "test");
        EXPECT_TRUE(policy.refuseAll) << bad;
        EXPECT_FALSE(policy.refusal.empty()) << bad;
        EXPECT_FALSE(config::AllowsPage(policy, "https://a.com")) << bad;
    }
}

}  // namespace
