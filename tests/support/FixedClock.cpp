// Linked into test launchers only: ZYN_TEST_TIME fixes the calendar time that a launch reads,
// so that an end-to-end test knows where a random pick of a mirror falls.
#include "framework/System.h"

#include <cstdlib>

namespace {
const bool kFixed = [] {
    if (const char* time = std::getenv("ZYN_TEST_TIME"))
        sys::FixCalendarTime(std::strtoll(time, nullptr, 10));
    return true;
}();
} // namespace
