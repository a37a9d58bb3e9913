// Key decoding for the terminal window: Enter, Ctrl-C and Escape; CSI and SS3 sequences and
// Alt+key are skipped, also when split across reads.
#include "framework/terminal/KeyDecoder.h"

std::vector<KeyDecoder::Key> KeyDecoder::Feed(const std::string& bytes) {
    std::vector<Key> keys;
    for (char c : bytes) {
        switch (m_state) {
        case State::Escape:
            // Alt+key sends Escape and the key: the pair is one key, and not one we act on.
            m_state = c == '[' ? State::Csi : c == 'O' ? State::Ss3 : State::Ground;
            continue;
        case State::Csi:
            if (c >= 0x20 && c <= 0x3f)
                continue; // parameters and intermediates
            m_state = State::Ground;
            if (c >= 0x40 && c <= 0x7e)
                continue; // the final byte
            break;        // a control byte cuts the sequence short and counts on its own
        case State::Ss3:
            m_state = State::Ground;
            if (c >= 0x20 && c <= 0x7e)
                continue;
            break;
        case State::Ground:
            break;
        }
        if (c == '\r' || c == '\n')
            keys.push_back(Key::Enter);
        else if (c == 3)
            keys.push_back(Key::Interrupt);
        else if (c == 0x1b)
            m_state = State::Escape;
    }
    return keys;
}

bool KeyDecoder::Expire() {
    bool lone = m_state == State::Escape;
    m_state = State::Ground;
    return lone;
}
