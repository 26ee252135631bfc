#include "console/ansi.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

Encoder::Encoder(const char* codeset) : cd_(reinterpret_cast<iconv_t>(-1))
{
    if (!codeset)
        return;
    for (const char* gb : {"GBK", "GB18030", "GB2312"})
        if (strcasecmp(codeset, gb) == 0)
            cd_ = iconv_open(gb, "UTF-8");
}

Encoder::~Encoder()
{
    if (converting())
        iconv_close(cd_);
}

void Encoder::append(std::string& dst, const char* p, size_t n)
{
    if (!converting()) {
        dst.append(p, n);
        return;
    }
    char tmp[1024];
    char* in = const_cast<char*>(p);
    size_t left = n;
    while (left > 0) {
        char* o = tmp;
        size_t room = sizeof tmp;
        size_t r = iconv(cd_, &in, &left, &o, &room);
        dst.append(tmp, static_cast<size_t>(o - tmp));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Not representable or broken: show a '?' and skip one byte.
            dst.push_back('?');
            in++;
            left--;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

std::string AnsiConsole::sgr(int fore, int back)
{
    // Console colours keep red in bit 2 and blue in bit 0; terminals the
    // other way round.
    auto swap = [](int c) { return ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2); };
    char s[32];
    std::snprintf(s, sizeof s, "\x1b[0;%d;%dm", ((fore & 8) ? 90 : 30) + swap(fore & 7),
                  ((back & 8) ? 100 : 40) + swap(back & 7));
    return s;
}

void AnsiConsole::seq(const char* s) { buf_.append(s); }

void AnsiConsole::attr(int fore, int back)
{
    int a = (fore & 15) + 16 * (back & 15);
    if (a == attr_)
        return;
    attr_ = a;
    buf_ += sgr(fore & 15, back & 15);
}

void AnsiConsole::cursor(bool visible)
{
    hidden_ = !visible;
    seq(visible ? "\x1b[?25h" : "\x1b[?25l");
}

void AnsiConsole::move(int col, int row)
{
    char s[32];
    std::snprintf(s, sizeof s, "\x1b[%d;%dH", row + 1, col + 1);
    seq(s);
    cols_.at(col);
    row_ = row;
}

void AnsiConsole::clear()
{
    // Erasing paints with the current background, which must be black.
    if (attr_ < 0 || attr_ >= 16)
        attr(7, 0);
    seq("\x1b[2J\x1b[H");
    cols_.at(0);
    row_ = 0;
}

void AnsiConsole::text(std::string_view s)
{
    size_t from = 0;
    for (size_t k = 0; k < s.size();) {
        if (cols_.realign_before(s[k])) {
            enc_.append(buf_, s.data() + from, k - from);
            from = k;
            char cha[16];
            std::snprintf(cha, sizeof cha, "\x1b[%dG", cols_.col + 1);
            seq(cha);
        }
        k += cols_.advance(s, k);
    }
    enc_.append(buf_, s.data() + from, s.size() - from);
}

void AnsiConsole::flush()
{
    if (buf_.empty())
        return;
    emit(buf_.data(), buf_.size());
    buf_.clear();
}
