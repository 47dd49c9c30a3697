// Server text as the user types it: scheme, host forms, default ports.
#include "server_address.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseServerText, SchemesHostsAndDefaultPorts) {
    struct Case {
        const char* text;
        const char* host;
        int port;
        bool tls;
    };
    const Case good[] = {
        {"news.example.org", "news.example.org", 119, false},
        {"news.example.org:1190", "news.example.org", 1190, false},
        {"[2001:db8::1]:563", "2001:db8::1", 563, true}, // port 563 alone means TLS
        {"nntp://news.example.org", "news.example.org", 119, false},
        {"nntp://news.example.org:8119", "news.example.org", 8119, false},
        {"nntps://news.example.org", "news.example.org", 563, true},
        {"nntps://news.example.org/", "news.example.org", 563, true},
        {"NNTPS://news.example.org:119", "news.example.org", 119, true},
        {"nntps://[::1]", "::1", 563, true},
        {"nntps://[::1]:1563", "::1", 1563, true},
        {"nntps://127.0.0.1:1119", "127.0.0.1", 1119, true},
        {"Nntp://localhost", "localhost", 119, false},
    };
    for (const Case& c : good) {
        kvServerAddress a;
        ASSERT_TRUE(ParseServerText(c.text, a)) << c.text;
        EXPECT_EQ(a.host, c.host) << c.text;
        EXPECT_EQ(a.port, c.port) << c.text;
        EXPECT_EQ(a.implicitTls, c.tls) << c.text;
    }
    for (const char* text :
         {"nntps://", "nntp://", "nntps://host:", "nntps://host:0", "nntps://host:70000",
          "nntps://user:pw@host", "user@host", "nntps://host/group", "news://host", "http://host",
          "nntps://nntps://host", "nntps://[::1", ""}) {
        kvServerAddress a;
        EXPECT_FALSE(ParseServerText(text, a)) << text;
    }
}

TEST(ParseServerText, PortOfNewsOverTlsAndTheSnewsScheme) {
    struct Case {
        const char* text;
        const char* host;
        int port;
        bool tls;
    };
    const Case cases[] = {
        // Port 563 written without a scheme: TLS from the first byte.
        {"news.example.org:563", "news.example.org", 563, true},
        {"127.0.0.1:563", "127.0.0.1", 563, true},
        {"[::1]:563", "::1", 563, true},
        {"news.example.org:0563", "news.example.org", 563, true},
        // Other ports stay plain; a written scheme is kept whatever the port.
        {"news.example.org:5630", "news.example.org", 5630, false},
        {"news.example.org:56", "news.example.org", 56, false},
        {"nntp://news.example.org:563", "news.example.org", 563, false},
        {"nntps://news.example.org:563", "news.example.org", 563, true},
        // snews:// is nntps:// by another name.
        {"snews://news.example.org", "news.example.org", 563, true},
        {"SNEWS://news.example.org/", "news.example.org", 563, true},
        {"snews://news.example.org:8563", "news.example.org", 8563, true},
        {"snews://[2001:db8::1]", "2001:db8::1", 563, true},
        {"snews://10.0.0.1:119", "10.0.0.1", 119, true},
    };
    for (const Case& c : cases) {
        kvServerAddress a;
        ASSERT_TRUE(ParseServerText(c.text, a)) << c.text;
        EXPECT_EQ(a.host, c.host) << c.text;
        EXPECT_EQ(a.port, c.port) << c.text;
        EXPECT_EQ(a.implicitTls, c.tls) << c.text;
    }
    for (const char* text :
         {"snews://", "snews://host:", "snews://host:0", "snews://user@host",
          "snews://host/alt.test", "snews:/host", "snews//host", "news://host:563"}) {
        kvServerAddress a;
        EXPECT_FALSE(ParseServerText(text, a)) << text;
    }
}

} // namespace
