#include "console/input.h"

#include <climits>

namespace {

constexpr size_t MAX_SEQ = 32; // longer escape sequences are cut into keys

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

// A character is taken only in its shortest form and within Unicode:
// anything else is refused byte by byte.
KeyRead utf8(const unsigned char* p, size_t n, bool final)
{
    if (p[0] < 0xc2 || p[0] > 0xf4)
        return key(Key::Other, 1);
    const size_t len = p[0] >= 0xf0 ? 4 : p[0] >= 0xe0 ? 3 : 2;
    // The second byte's range rules out overlong forms, surrogates and
    // values past U+10FFFF.
    unsigned char lo = 0x80, hi = 0xbf;
    if (p[0] == 0xe0)
        lo = 0xa0;
    else if (p[0] == 0xed)
        hi = 0x9f;
    else if (p[0] == 0xf0)
        lo = 0x90;
    else if (p[0] == 0xf4)
        hi = 0x8f;
    for (size_t k = 1; k < len; k++) {
        if (k == n)
            return final ? key(Key::Other, 1) : more();
        if (p[k] < (k == 1 ? lo : 0x80) || p[k] > (k == 1 ? hi : 0xbf))
            return key(Key::Other, 1);
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
    if (p[0] == 'q' || p[0] == 'Q')
        return key(Key::Quit, 1);
    if (p[0] >= 0x80)
        return utf8(p, n, final);
    if (p[0] != 0x1b)
        return key(Key::Other, 1);
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

NumRead parse_int(const char* p, size_t n)
{
    size_t k = 0;
    while (k < n && blank(p[k]))
        k++;
    if (k == n)
        return {Num::None, 0, n};
    size_t d = k;
    const bool neg = p[d] == '-';
    if (p[d] == '+' || p[d] == '-')
        d++;
    const size_t digits = d;
    long long v = 0;
    bool over = false;
    for (; d < n && p[d] >= '0' && p[d] <= '9'; d++) {
        if (!over)
            v = v * 10 + (p[d] - '0');
        over = over || v > static_cast<long long>(INT_MAX) + 1;
    }
    if (d == digits) {
        // No number here: one wrong entry, with the rest of its line.
        while (d < n && p[d] != '\n')
            d++;
        return {Num::Bad, 0, d < n ? d + 1 : n};
    }
    if (neg)
        v = -v;
    if (over || v > INT_MAX || v < INT_MIN)
        return {Num::Overflow, 0, d};
    return {Num::Number, static_cast<int>(v), d};
}

void Answers::add(std::string_view line)
{
    lines_.append(line.data(), line.size());
    lines_ += '\n';
}

void Answers::add_wrong() { lines_ += "?\n"; }

bool Answers::take(std::string& in, bool eof)
{
    size_t nl = in.find('\n');
    if (nl == std::string::npos) {
        if (!eof || in.empty())
            return false;
        nl = in.size();
    }
    add(std::string_view(in).substr(0, nl));
    in.erase(0, nl + 1);
    return true;
}

int Answers::next(int* v)
{
    const NumRead r = parse_int(lines_.data() + at_, lines_.size() - at_);
    // Read entries are dropped in one go once nothing is left, so that a
    // long line is read in time linear in its length.
    at_ += r.used;
    if (at_ == lines_.size()) {
        lines_.clear();
        at_ = 0;
    }
    switch (r.kind) {
    case Num::Number:
        *v = r.value;
        return ANSWER;
    case Num::Overflow:
    case Num::Bad:
        return WRONG;
    case Num::None:
        break;
    }
    return NONE;
}

bool Line::add(std::string_view ch, int w, int room)
{
    if (ch.empty() || cols_ + w > room)
        return false;
    text_.append(ch.data(), ch.size());
    widths_ += static_cast<char>(w);
    cols_ += w;
    return true;
}

bool Line::erase()
{
    if (text_.empty())
        return false;
    size_t k = text_.size() - 1;
    while (k > 0 && (static_cast<unsigned char>(text_[k]) & 0xc0) == 0x80)
        k--;
    cols_ -= widths_.back();
    widths_.pop_back();
    text_.erase(k);
    return true;
}

void Line::clear()
{
    text_.clear();
    widths_.clear();
    cols_ = 0;
}

size_t Line::tail(int room) const
{
    size_t at = text_.size();
    int used = 0;
    for (size_t c = widths_.size(); c > 0 && used + widths_[c - 1] <= room; c--) {
        used += widths_[c - 1];
        do
            at--;
        while (at > 0 && (static_cast<unsigned char>(text_[at]) & 0xc0) == 0x80);
    }
    return at;
}
