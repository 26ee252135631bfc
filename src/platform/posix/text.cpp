// Text on POSIX: the terminal's encoding, and what is said on the standard
// descriptors before the terminal is taken and after it is given back.
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cwchar>

#include "console/utf8.h"
#include "platform/platform.h"
#include "platform/posix/encoding.h"
#include "platform/posix/posix.h"

namespace {

bool g_closed[2] = {false, false}; // standard input, output closed at start

// C0, DEL and C1: what a terminal may act on rather than show.
bool control(char32_t c) { return c < 0x20 || (c >= 0x7f && c < 0xa0); }

// Bytes of the terminal's encoding as they may be shown: characters as they
// are, control characters and what is no character in octal (ESC as \033),
// the backslash doubled.
std::string escaped(std::string_view s, bool gb)
{
    std::string out;
    std::mbstate_t st{};
    for (size_t k = 0; k < s.size();) {
        char32_t c = 0;
        int n;
        if (gb) {
            wchar_t w = 0;
            const size_t r = std::mbrtowc(&w, s.data() + k, s.size() - k, &st);
            n = r == 0 || r > s.size() - k ? 0 : static_cast<int>(r);
            if (n == 0)
                st = std::mbstate_t{};
            c = static_cast<char32_t>(w);
        } else {
            n = utf8_len(reinterpret_cast<const unsigned char*>(s.data()) + k, s.size() - k, &c);
        }
        if (n > 0 && !control(c) && s[k] != '\\') {
            out.append(s, k, static_cast<size_t>(n));
            k += static_cast<size_t>(n);
            continue;
        }
        for (size_t end = k + (n > 0 ? static_cast<size_t>(n) : 1); k < end; k++) {
            const unsigned char b = static_cast<unsigned char>(s[k]);
            out += '\\';
            if (b == '\\') {
                out += '\\';
            } else {
                out += static_cast<char>('0' + (b >> 6));
                out += static_cast<char>('0' + (b >> 3 & 7));
                out += static_cast<char>('0' + (b & 7));
            }
        }
    }
    return out;
}

} // namespace

IconvEncoding::IconvEncoding(const char* codeset) : cd_(reinterpret_cast<iconv_t>(-1))
{
    if (!codeset)
        return;
    for (const char* gb : {"GBK", "GB18030", "GB2312"})
        if (strcasecmp(codeset, gb) == 0)
            cd_ = iconv_open(gb, "UTF-8");
}

IconvEncoding::~IconvEncoding()
{
    if (converting())
        iconv_close(cd_);
}

void IconvEncoding::append(std::string& dst, std::string_view s)
{
    if (!converting()) {
        dst.append(s.data(), s.size());
        return;
    }
    char tmp[1024];
    char* in = const_cast<char*>(s.data());
    size_t left = s.size();
    while (left > 0) {
        char* o = tmp;
        size_t room = sizeof tmp;
        const size_t r = iconv(cd_, &in, &left, &o, &room);
        dst.append(tmp, static_cast<size_t>(o - tmp));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Not in the encoding, or broken: one "?" for the character.
            dst.push_back('?');
            const int n = utf8_len(reinterpret_cast<const unsigned char*>(in), left);
            const size_t skip = n > 0 ? static_cast<size_t>(n) : 1;
            in += skip;
            left -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

bool IconvEncoding::has(std::string_view ch)
{
    if (!converting())
        return true;
    char tmp[16];
    char* in = const_cast<char*>(ch.data());
    size_t left = ch.size(), room = sizeof tmp;
    char* o = tmp;
    const bool ok = iconv(cd_, &in, &left, &o, &room) != static_cast<size_t>(-1) && left == 0;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return ok;
}

// The GB encodings take two bytes for every character the game draws that
// is not ASCII.
int IconvEncoding::bytes(char32_t ch) const { return converting() && ch >= 0x80 ? 2 : utf8_bytes(ch); }

const char* locale_codeset()
{
    std::setlocale(LC_ALL, "");
    return nl_langinfo(CODESET);
}

void platform_prepare()
{
    for (int fd = 0; fd <= 2; fd++)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            if (fd < 2)
                g_closed[fd] = true;
            const int n = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (n >= 0 && n != fd) {
                dup2(n, fd);
                close(n);
            }
        }
    locale_codeset();
}

bool platform_was_closed(int fd) { return fd >= 0 && fd < 2 && g_closed[fd]; }

bool say(bool error, std::string_view utf8, bool encode)
{
    // Output that was closed at start is on the null device now: still a
    // failed write.
    if (!error && g_closed[1])
        return false;
    IconvEncoding enc(nl_langinfo(CODESET));
    std::string out;
    if (encode)
        enc.append(out, utf8);
    else
        out = escaped(utf8, enc.converting());
    return write_all(error ? STDERR_FILENO : STDOUT_FILENO, out.data(), out.size());
}
