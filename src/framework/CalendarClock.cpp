// The calendar time as the launcher reads it, which tests may fix, and its local date.
#include "framework/System.h"

#include <ctime>

namespace sys {

namespace {
std::optional<int64_t> g_fixedTime;
}

int64_t CalendarTime() {
    return static_cast<int64_t>(std::time(nullptr));
}

LocalDate ToLocalDate(int64_t time) {
    // Only the window's thread asks, so the C library's one result buffer serves.
    const std::time_t t = static_cast<std::time_t>(time);
    const std::tm* fields = std::localtime(&t);
    if (!fields)
        return LocalDate{1, 1, 1970};
    return LocalDate{fields->tm_mday, fields->tm_mon + 1, fields->tm_year + 1900};
}

int64_t ReadCalendarTime() {
    return g_fixedTime ? *g_fixedTime : CalendarTime();
}

void FixCalendarTime(std::optional<int64_t> time) {
    g_fixedTime = time;
}

} // namespace sys
