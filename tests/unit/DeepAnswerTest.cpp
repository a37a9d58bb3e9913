// Answers of deep resolution servers: which are taken, and what they give.
#include "net/DeepAnswer.h"

#include <gtest/gtest.h>

TEST(DeepAnswer, AcceptedAnswersGiveAddressAndPort) {
    struct Case {
        const char* datagram;
        const char* ip;
        int32_t port;
    } cases[] = {
        {"ZYN_DEEP_RESOLVER_DISCOVER;10.1.2.3;4000;", "10.1.2.3", 4000},
        {"ZYN_DEEP_RESOLVER_DISCOVER;", "", 0},
        {"ZYN_DEEP_RESOLVER_DISCOVER;10.1.2.3;4000", "10.1.2.3", 0},
        {"ZYN_DEEP_RESOLVER_DISCOVER;255.255.255.255; +65535x;4th;", "255.255.255.255", 65535},
        {"ZYN_DEEP_RESOLVER_DISCOVER;;abc;", "", 0},
    };
    for (const Case& c : cases) {
        zyn::DeepAnswer answer{"stale", -1};
        ASSERT_TRUE(zyn::ParseDeepAnswer(c.datagram, answer)) << c.datagram;
        EXPECT_EQ(answer.ip, c.ip);
        EXPECT_EQ(answer.port, c.port);
    }
}

TEST(DeepAnswer, OtherDatagramsAndUnsafeFieldsAreRefusedWhole) {
    for (const char* datagram :
         {"zyn_deep_resolver_discover;1.2.3.4;1;", "ZYN_DEEP_RESOLVER_DISCOVER",
          " ZYN_DEEP_RESOLVER_DISCOVER;1.2.3.4;1;", "ZYN_DEEP_RESOLVER_DISCOVER;1.2.3.4;65536;",
          "ZYN_DEEP_RESOLVER_DISCOVER;1.2.3.4;-1;", "ZYN_DEEP_RESOLVER_DISCOVER;1.2.3;1;",
          "ZYN_DEEP_RESOLVER_DISCOVER;1.2.3.256;1;", "ZYN_DEEP_RESOLVER_DISCOVER;1.2.3.4.5;1;",
          "ZYN_DEEP_RESOLVER_DISCOVER;1.2.3.4 -mode x;1;",
          "ZYN_DEEP_RESOLVER_DISCOVER;deep.example;1;"}) {
        zyn::DeepAnswer answer{"kept", 7};
        EXPECT_FALSE(zyn::ParseDeepAnswer(datagram, answer)) << datagram;
        EXPECT_EQ(answer.ip, "kept");
        EXPECT_EQ(answer.port, 7);
    }
}
