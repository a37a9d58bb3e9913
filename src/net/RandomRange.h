// The picker that chooses one server of a list at random, seeded from the calendar.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zyn {
// Where the picker shows its one message: the window's message box.
using MessageSink = std::function<void(const std::string& text)>;
} // namespace zyn

class CRandomRange {
  public:
    CRandomRange(int low, int high, zyn::MessageSink box = {}) : m_box(std::move(box)) {
        SetRange(low, high);
    }

    // A high value below the low one is refused with a message; 0 and 1 are used instead.
    void SetRange(int low, int high);
    // Seeds the C library's generator from the time plus the day, month and year, so two
    // choices within one second over lists of one size agree.
    void Seed();
    // The generator's next value brought into LOW..HIGH.
    int Next();
    int GetLow() const { return m_nLow; }
    int GetHigh() const { return m_nHigh; }

  private:
    int32_t m_nLow = 0;
    int32_t m_nHigh = 1;
    zyn::MessageSink m_box;
};

// The index of the entry to use from a list of `count`: drawn afresh when there are two or
// more, else 0 without touching the generator.
namespace zyn {
int ChooseEntryIndex(int count, const MessageSink& box);
} // namespace zyn
