// One GET with the launcher's own HTTP client, through the proxy a launcher would use, run to
// its end on the framework's event loop: what verify sees is what a launcher sees.
#pragma once

#include <cstdint>
#include <string>

namespace zynsign {

enum class FetchKind { State, Component };

struct FetchResult {
    bool complete = false;
    std::string body;    // the body with its framing undone; whole only when complete
    std::string failure; // why it is not complete
};

// Fetches `url` as a launcher asks for a state or a component; a body longer than `limit`
// fails.
FetchResult Fetch(const std::string& url, FetchKind kind, uint64_t limit);

} // namespace zynsign
