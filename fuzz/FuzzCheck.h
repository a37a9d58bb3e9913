// What every fuzz target shares: the input as text, and a broken promise stopping the run as a
// finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::string InputText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline void Require(bool holds) {
    if (!holds)
        __builtin_trap();
}
