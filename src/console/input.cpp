#include "console/input.h"

#include <climits>

namespace {

constexpr size_t MAX_SEQ = 32; // longer escape sequences are cut into keys

KeyRead key(Key k, size_t used) { return {k, used}; }

KeyRead more() { return {Key::None, 0}; }

// ESC [ ... : parameters and intermediates, then one final byte.
KeyRead csi(const unsigned char* p, size_t n, bool final)
{
    for (size_t k = 2; k < n && k < MAX_SEQ; k++) {
        unsigned char b = p[k];
        if (b >= 0x20 && b <= 0x3f)
            continue;
        if (b >= 0x40 && b <= 0x7e) {
            if (k == 2) {
                switch (b) {
                case 'A': return key(Key::Up, 3);
                case 'B': return key(Key::Down, 3);
                case 'C': return key(Key::Right, 3);
                case 'D': return key(Key::Left, 3);
                default: break;
                }
            }
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
    switch (p[2]) {
    case 'A': return key(Key::Up, 3);
    case 'B': return key(Key::Down, 3);
    case 'C': return key(Key::Right, 3);
    case 'D': return key(Key::Left, 3);
    default: break;
    }
    return key(Key::Other, p[2] >= 0x40 && p[2] <= 0x7e ? 3 : 2);
}

KeyRead utf8(const unsigned char* p, size_t n, bool final)
{
    size_t len = p[0] >= 0xf0 ? 4 : p[0] >= 0xe0 ? 3 : 2;
    if (p[0] < 0xc2 || p[0] > 0xf4)
        return key(Key::Other, 1);
    for (size_t k = 1; k < len; k++) {
        if (k == n)
            return final ? key(Key::Other, n) : more();
        if ((p[k] & 0xc0) != 0x80)
            return key(Key::Other, k);
    }
    return key(Key::Other, len);
}

bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

KeyRead decode_key(const unsigned char* p, size_t n, bool final)
{
    if (n == 0)
        return more();
    if (p[0] == ' ')
        return key(Key::Space, 1);
    if (p[0] >= 0x80)
        return utf8(p, n, final);
    if (p[0] != 0x1b)
        return key(Key::Other, 1);
    if (n == 1)
        return final ? key(Key::Other, 1) : more();
    if (p[1] == '[')
        return csi(p, n, final);
    if (p[1] == 'O')
        return ss3(p, n, final);
    // Alt with a printable key is one key; anything else leaves a lone Esc.
    return key(Key::Other, p[1] >= 0x20 && p[1] <= 0x7e ? 2 : 1);
}

int key_codes(Key k, int codes[2])
{
    int arrow;
    switch (k) {
    case Key::Space: codes[0] = 32; return 1;
    case Key::Up: arrow = 72; break;
    case Key::Left: arrow = 75; break;
    case Key::Right: arrow = 77; break;
    case Key::Down: arrow = 80; break;
    default: codes[0] = 0; return 1;
    }
    codes[0] = 224;
    codes[1] = arrow;
    return 2;
}

NumRead parse_int(const char* p, size_t n, bool eof)
{
    size_t k = 0;
    while (k < n && blank(p[k]))
        k++;
    const size_t lead = k;
    if (k == n)
        return {eof ? Num::End : Num::More, 0, lead};
    bool neg = false;
    if (p[k] == '+' || p[k] == '-') {
        neg = p[k] == '-';
        k++;
    }
    const size_t digits = k;
    long long v = 0;
    bool over = false;
    while (k < n && p[k] >= '0' && p[k] <= '9') {
        if (!over) {
            v = v * 10 + (p[k] - '0');
            if (v > static_cast<long long>(INT_MAX) + 1)
                over = true;
        }
        k++;
    }
    if (k == n && !eof)
        return {Num::More, 0, lead}; // the number (or the sign) may go on
    if (k == digits) {
        // No number here: the rest of the line goes with it.
        while (k < n && p[k] != '\n')
            k++;
        if (k == n && !eof)
            return {Num::More, 0, lead};
        return {Num::Bad, 0, k < n ? k + 1 : n};
    }
    if (neg)
        v = -v;
    if (over || v > INT_MAX || v < INT_MIN)
        return {Num::Overflow, 0, k};
    return {Num::Number, static_cast<int>(v), k};
}

int take_int(std::string& in, bool eof, int* v)
{
    NumRead r = parse_int(in.data(), in.size(), eof);
    in.erase(0, r.used);
    switch (r.kind) {
    case Num::Number:
        *v = r.value;
        return 1;
    case Num::Overflow:
    case Num::Bad:
        return 0;
    case Num::End:
        return INPUT_ENDED;
    case Num::More:
        break;
    }
    return NEED_MORE;
}
