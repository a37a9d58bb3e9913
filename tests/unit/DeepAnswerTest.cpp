// Answers of deep resolution servers: which are taken, and what they give.
#include "net/DeepAnswer.h"

#include <gtest/gtest.h>

TEST(DeepAnswer, OnlyAnswersWithTheMarkerAndSafeFieldsAreTakenAndOthersChangeNothing) {
    const std::string m = "ZYN_DEEP_RESOLVER_DISCOVER";
    const struct {
        std::string datagram;
        const char* ip; // null: refused
        int32_t port = 0;
    } cases[] = {
        {m + ";10.1.2.3;4000;", "10.1.2.3", 4000},
        {m + ";", "", 0},
        {m + ";10.1.2.3;4000", "10.1.2.3", 0},
        {m + ";255.255.255.255; +65535x;4th;", "255.255.255.255", 65535},
        {m + ";;abc;", "", 0},
        {m, nullptr},
        {"zyn_deep_resolver_discover;1.2.3.4;1;", nullptr},
        {" " + m + ";1.2.3.4;1;", nullptr},
        {m + ";1.2.3.4;65536;", nullptr},
        {m + ";1.2.3.4;-1;", nullptr},
        {m + ";1.2.3;1;", nullptr},
        {m + ";1.2.3.256;1;", nullptr},
        {m + ";1.2.3.4.5;1;", nullptr},
        {m + ";1.2.3.4 -mode x;1;", nullptr},
        {m + ";deep.example;1;", nullptr},
    };
    for (const auto& c : cases) {
        zyn::DeepAnswer answer{"kept", 7};
        EXPECT_EQ(zyn::ParseDeepAnswer(c.datagram, answer), c.ip != nullptr) << c.datagram;
        EXPECT_EQ(answer.ip, c.ip ? c.ip : "kept") << c.datagram;
        EXPECT_EQ(answer.port, c.ip ? c.port : 7) << c.datagram;
    }
}
