// The calendar time as the launcher reads it, which tests may fix.
#include "framework/System.h"

namespace sys {

namespace {
std::optional<int64_t> g_fixedTime;
}

int64_t ReadCalendarTime() {
    return g_fixedTime ? *g_fixedTime : CalendarTime();
}

void FixCalendarTime(std::optional<int64_t> time) {
    g_fixedTime = time;
}

} // namespace sys
