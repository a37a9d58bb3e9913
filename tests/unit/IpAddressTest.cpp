// IP addresses in text form, read as inet_pton reads them.
#include "formats/IpAddress.h"

#include <gtest/gtest.h>

TEST(IpAddress, TextFormsAreReadStrictly) {
    formats::Ipv4Bytes v4;
    formats::Ipv6Bytes v6;
    ASSERT_TRUE(formats::ParseIpv4("192.0.2.255", v4));
    EXPECT_EQ(v4, (formats::Ipv4Bytes{192, 0, 2, 255}));
    ASSERT_TRUE(formats::ParseIpv6("2001:DB8::ffff:1.2.3.4", v6));
    EXPECT_EQ(v6,
              (formats::Ipv6Bytes{0x20, 1, 0xd, 0xb8, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 1, 2, 3, 4}));
    ASSERT_TRUE(formats::ParseIpv6("1:2:3:4:5:6:7::", v6));
    EXPECT_EQ(v6, (formats::Ipv6Bytes{0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 0}));
    for (const char* text : {"::", "::1", "1::", "1:2:3:4:5:6:7:8", "::ffff:10.0.0.1"})
        EXPECT_TRUE(formats::ParseIpv6(text, v6)) << text;
    for (const char* text : {"", ":", ":::", "1:2", "1::2::3", ":1::", "1::2:", "12345::",
                             "1:2:3:4:5:6:7:8::", "::1.2.3", "1.2.3.4", "g::", "::1%eth0"})
        EXPECT_FALSE(formats::ParseIpv6(text, v6)) << text;
    for (const char* text :
         {"", "1.2.3", "1.2.3.4.5", "01.2.3.4", "256.1.1.1", "1..2.3", "a.b.c.d"})
        EXPECT_FALSE(formats::ParseIpv4(text, v4)) << text;
}
