// The picker that chooses one server of a list at random, seeded from the calendar.
#include "net/RandomRange.h"

#include "framework/System.h"

#include <cstdlib>

void CRandomRange::SetRange(int low, int high) {
    if (high < low) {
        if (m_box)
            m_box("Error: HIGH value cannot be less than LOW value!\nUsing defaults: High = 1, "
                  "Low = 0");
        low = 0;
        high = 1;
    }
    m_nLow = low;
    m_nHigh = high;
}

void CRandomRange::Seed() {
    const int64_t time = sys::ReadCalendarTime();
    const sys::LocalDate date = sys::ToLocalDate(time);
    std::srand(static_cast<uint32_t>(time) + static_cast<uint32_t>(date.day) +
               static_cast<uint32_t>(date.month) + static_cast<uint32_t>(date.year));
}

int CRandomRange::Next() {
    // In 64 bits, so that no range overflows the count of its values.
    const int64_t values = int64_t(m_nHigh) - m_nLow + 1;
    return static_cast<int>(std::rand() % values + m_nLow);
}

namespace zyn {

int ChooseEntryIndex(int count, const MessageSink& box) {
    if (count < 2)
        return 0;
    CRandomRange range(0, 1, box);
    range.Seed();
    range.SetRange(0, count - 1);
    return range.Next();
}

} // namespace zyn
