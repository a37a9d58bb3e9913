// The keys the terminal window acts on, taken from the bytes a terminal sends.
#pragma once

#include <string>
#include <vector>

// The Escape byte also begins Alt+key and the sequences of cursor and function keys, and a
// sequence may arrive split across reads: so an Escape byte is the Escape key only when nothing
// follows it in time, which the caller decides (Expire).
class KeyDecoder {
  public:
    enum class Key { Enter, Escape, Interrupt };

    // Keys completed by `bytes`; other keys and sequences are skipped.
    std::vector<Key> Feed(const std::string& bytes);
    // An Escape byte or an unfinished sequence waits for what follows.
    bool IsWaiting() const { return m_state != State::Ground; }
    // Nothing followed in time: true when what waited was a lone Escape byte, the Escape key.
    bool Expire();

  private:
    enum class State { Ground, Escape, Csi, Ss3 };
    State m_state = State::Ground;
};
