// The order of connection attempts over a name's addresses: IPv6 first, the families in turn.
#include "net/AddressOrder.h"

#include <gtest/gtest.h>

TEST(AddressOrder, FamiliesTakeTurnsFromIPv6OnInTheResolversOrder) {
    using List = std::vector<std::string>;
    const std::pair<List, List> cases[] = {
        {{"10.0.0.1", "10.0.0.2", "::1", "2001:db8::2"},
         {"::1", "10.0.0.1", "2001:db8::2", "10.0.0.2"}},
        {{"::1", "::2", "::3", "10.0.0.1"}, {"::1", "10.0.0.1", "::2", "::3"}},
        {{"10.0.0.2", "10.0.0.1"}, {"10.0.0.2", "10.0.0.1"}},
        {{}, {}},
    };
    for (const auto& [resolved, attempts] : cases)
        EXPECT_EQ(zyn::OrderConnectionAttempts(resolved), attempts);
}
