#include "console/keys.h"

#include "console/utf8.h"

namespace {

constexpr size_t MAX_SEQ = 32;   // longer escape sequences are cut into keys
constexpr int ESC_WAIT_MS = 30;  // for the rest of a key sequence split in two
constexpr size_t IN_CAP = 4096;  // bytes read ahead of what is used

KeyRead key(Key k, size_t used) { return {k, used}; }

KeyRead more() { return {Key::None, 0}; }

// The key that ESC [ or ESC O followed by the byte b stands for.
Key cursor_key(unsigned char b)
{
    switch (b) {
    case 'A': return Key::Up;
    case 'B': return Key::Down;
    case 'C': return Key::Right;
    case 'D': return Key::Left;
    case 'H': return Key::Home;
    case 'F': return Key::End;
    default: return Key::Other;
    }
}

// ESC [ ... : parameters and intermediates, then one final byte.
KeyRead csi(const unsigned char* p, size_t n, bool final)
{
    for (size_t k = 2; k < n && k < MAX_SEQ; k++) {
        unsigned char b = p[k];
        if (b >= 0x20 && b <= 0x3f)
            continue;
        if (b >= 0x40 && b <= 0x7e) {
            if (k == 2 && cursor_key(b) != Key::Other)
                return key(cursor_key(b), 3);
            // Home and End as the VT220 and rxvt send them.
            if (k == 3 && b == '~' && (p[2] == '1' || p[2] == '7'))
                return key(Key::Home, 4);
            if (k == 3 && b == '~' && (p[2] == '4' || p[2] == '8'))
                return key(Key::End, 4);
            return key(Key::Other, k + 1);
        }
        return key(Key::Other, k); // broken sequence: the byte starts a new key
    }
    if (n >= MAX_SEQ)
        return key(Key::Other, MAX_SEQ);
    return final ? key(Key::Other, n) : more();
}

// ESC O x: the arrows in application cursor mode, and a few function keys.
KeyRead ss3(const unsigned char* p, size_t n, bool final)
{
    if (n < 3)
        return final ? key(Key::Other, n) : more();
    if (cursor_key(p[2]) != Key::Other)
        return key(cursor_key(p[2]), 3);
    return key(Key::Other, p[2] >= 0x40 && p[2] <= 0x7e ? 3 : 2);
}

} // namespace

KeyRead decode_key(const unsigned char* p, size_t n, bool final)
{
    if (n == 0)
        return more();
    if (p[0] == ' ')
        return key(Key::Space, 1);
    if (p[0] == 'q' || p[0] == 'Q')
        return key(Key::Quit, 1);
    if (p[0] == 0x1b) {
        if (n == 1)
            return final ? key(Key::Quit, 1) : more();
        if (p[1] == '[')
            return csi(p, n, final);
        if (p[1] == 'O')
            return ss3(p, n, final);
        // Alt with a printable key is one key; anything else leaves a lone Esc.
        if (p[1] >= 0x20 && p[1] <= 0x7e)
            return key(Key::Other, 2);
        return key(Key::Quit, 1);
    }
    // A character is taken whole, and only in its shortest form and within
    // Unicode: anything else is refused byte by byte.
    const int len = utf8_len(p, n);
    if (len == 0)
        return final ? key(Key::Other, 1) : more();
    return key(Key::Other, len > 0 ? static_cast<size_t>(len) : 1);
}

size_t Typed::room() const { return in_.size() < IN_CAP ? IN_CAP - in_.size() : 0; }

KeyRead Typed::first(int now, bool consume)
{
    const bool final = ended_ || (partial_since_ >= 0 && now - partial_since_ >= ESC_WAIT_MS);
    const KeyRead k = decode_key(reinterpret_cast<const unsigned char*>(in_.data()), in_.size(), final);
    if (k.key == Key::None && !in_.empty() && partial_since_ < 0)
        partial_since_ = now;
    if (consume && k.key != Key::None) {
        partial_since_ = -1;
        in_.erase(0, k.used);
    }
    return k;
}

int Typed::due() const { return partial_since_ < 0 ? -1 : partial_since_ + ESC_WAIT_MS; }

void Typed::clear()
{
    in_.clear();
    partial_since_ = -1;
}
