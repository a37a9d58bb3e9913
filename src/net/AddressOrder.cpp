// The order in which a connection tries the addresses of a name.
#include "net/AddressOrder.h"

#include <algorithm>

namespace zyn {

std::vector<std::string> OrderConnectionAttempts(const std::vector<std::string>& addresses) {
    std::vector<std::string> v6, v4;
    for (const std::string& address : addresses)
        (address.find(':') != std::string::npos ? v6 : v4).push_back(address);
    std::vector<std::string> order;
    for (size_t i = 0; i < std::max(v6.size(), v4.size()); ++i) {
        if (i < v6.size())
            order.push_back(v6[i]);
        if (i < v4.size())
            order.push_back(v4[i]);
    }
    return order;
}

} // namespace zyn
