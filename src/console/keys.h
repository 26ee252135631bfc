// The typed input: the bytes read ahead and not used yet, and the keys in
// them. No I/O here, so all of it can be tested and fuzzed.
#pragma once

#include <cstddef>
#include <string>

// Keys as the screens tell them apart; every other key is Other. Quit is q
// or a lone Esc. The last two are no keys typed but news a screen may want:
// Resumed, the screen was drawn again after a stop, a resize or the "too
// small" screen, time having passed unseen; Ended, the input has ended.
enum class Key { None, Left, Right, Up, Down, Space, Home, End, Quit, Other, Resumed, Ended };

struct KeyRead {
    Key key;      // Key::None: more bytes are needed to tell
    size_t used;  // bytes that make up the key; 0 with Key::None
};

// Decodes the first key in p[0..n). With `final` set no more bytes will
// follow soon, so an incomplete sequence counts as one key (Other).
KeyRead decode_key(const unsigned char* p, size_t n, bool final);

class Typed {
public:
    // Bytes that may still be added: what is read ahead stays small.
    size_t room() const;
    std::string& bytes() { return in_; }
    bool empty() const { return in_.empty(); }
    // Whether the input has ended: nothing more will be added.
    void set_ended(bool ended) { ended_ = ended; }
    bool ended() const { return ended_; }

    // The first key at time `now` (ms), taken out when `consume`; None while
    // there is none, or only the start of one whose rest may still come.
    KeyRead first(int now, bool consume);
    // When an incomplete key at the front counts as whole; -1 for none.
    int due() const;
    // Drops every byte typed so far.
    void clear();

private:
    std::string in_;
    bool ended_ = false;
    int partial_since_ = -1; // when the incomplete key at the front arrived
};
