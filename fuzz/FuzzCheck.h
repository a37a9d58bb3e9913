// What every fuzz target shares: the input as text or as fields, and a broken promise stopping
// the run as a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::string InputText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The fields of `text` apart by `separator`, at most `most` of them: the last takes the rest.
inline std::vector<std::string> Fields(const std::string& text, char separator, size_t most) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (size_t end; fields.size() + 1 < most && (end = text.find(separator, at)) != text.npos;
         at = end + 1)
        fields.push_back(text.substr(at, end - at));
    fields.push_back(text.substr(at));
    return fields;
}

inline void Require(bool holds) {
    if (!holds)
        __builtin_trap();
}
