#include "console/utf8.h"

int utf8_len(const unsigned char* p, size_t n, char32_t* c)
{
    if (n == 0)
        return 0;
    const unsigned char b = p[0];
    if (b < 0x80) {
        if (c)
            *c = b;
        return 1;
    }
    if (b < 0xc2 || b > 0xf4)
        return -1;
    const int len = b >= 0xf0 ? 4 : b >= 0xe0 ? 3 : 2;
    // The second byte's range rules out overlong forms, surrogates and
    // values past U+10FFFF.
    unsigned char lo = 0x80, hi = 0xbf;
    if (b == 0xe0)
        lo = 0xa0;
    else if (b == 0xed)
        hi = 0x9f;
    else if (b == 0xf0)
        lo = 0x90;
    else if (b == 0xf4)
        hi = 0x8f;
    char32_t v = b & (0x3f >> (len - 1));
    for (int k = 1; k < len; k++) {
        if (static_cast<size_t>(k) == n)
            return 0;
        if (p[k] < (k == 1 ? lo : 0x80) || p[k] > (k == 1 ? hi : 0xbf))
            return -1;
        v = (v << 6) | (p[k] & 0x3f);
    }
    if (c)
        *c = v;
    return len;
}

char32_t utf8_next(std::string_view s, size_t& k)
{
    char32_t c = 0xfffd;
    const int n = utf8_len(reinterpret_cast<const unsigned char*>(s.data()) + k, s.size() - k, &c);
    k += n > 0 ? static_cast<size_t>(n) : 1;
    return n > 0 ? c : 0xfffd;
}

void utf8_put(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

size_t utf8_back(std::string_view s, size_t end)
{
    size_t k = end > 0 ? end - 1 : 0;
    while (k > 0 && (static_cast<unsigned char>(s[k]) & 0xc0) == 0x80)
        k--;
    return k;
}

bool ambiguous(char32_t ch) { return (ch >= 0x2190 && ch <= 0x21ff) || (ch >= 0x25a0 && ch <= 0x25ff); }

int cursor_after(int col, std::string_view s, int amb)
{
    for (size_t k = 0; k < s.size() && col >= 0;) {
        const char32_t ch = utf8_next(s, k);
        if (ch == '\r')
            col = 0;
        else if (ch < 0x20)
            col = -1;
        else
            col = !ambiguous(ch) ? col + layout_width(ch) : amb > 0 ? col + amb : -1;
    }
    return col;
}
