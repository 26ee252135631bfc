// The key decoder: it takes at least one byte per key and never more than
// it has; it waits for more bytes only while they can still be the start of
// a longer key, and once it has decided, more bytes do not change the
// decision. So a stream decoded as it trickles in gives the keys it gives
// whole, and an arrow is an arrow whatever came before it and however its
// bytes are split.
#include <string>
#include <vector>

#include "check.h"
#include "console/keys.h"

namespace {

const uint8_t* fuzz_data;
size_t fuzz_size;

struct Read {
    Key key;
    size_t used;
    bool operator==(const Read& o) const { return key == o.key && used == o.used; }
};

Read decode(const char* p, size_t n, bool final)
{
    KeyRead k = decode_key(reinterpret_cast<const unsigned char*>(p), n, final);
    return {k.key, k.used};
}

Read decode(const std::string& s, bool final) { return decode(s.data(), s.size(), final); }

bool arrow(Key k) { return k == Key::Up || k == Key::Down || k == Key::Left || k == Key::Right; }

// Bytes that continue, end or break the sequences the decoder knows.
const char EXT[] = {'A', 'D', '~', '[', 'O', '1', ';', '\x1b', 'x', '\x80', '\xbf'};

// Everything that must hold for the first key of s[at..); `ext` is s with
// one byte more, free to change.
void check_first(const std::string& whole_s, size_t at, std::string& ext)
{
    const char* s = whole_s.data() + at;
    const size_t n = whole_s.size() - at;
    const Read fin = decode(s, n, true);
    const unsigned char u0 = n > 0 ? static_cast<unsigned char>(s[0]) : 0;
    const Read open = decode(s, n, false);
    if (n == 0) {
        FUZZ_CHECK(fin.key == Key::None && fin.used == 0);
        FUZZ_CHECK(open.key == Key::None && open.used == 0);
        return;
    }
    FUZZ_CHECK(fin.key != Key::None);
    FUZZ_CHECK(fin.used >= 1 && fin.used <= n);
    if (open.key == Key::None) {
        FUZZ_CHECK(open.used == 0);
        // Waiting: the bytes start one unfinished key (a sequence cut short
        // goes whole, broken UTF-8 byte by byte; a lone Esc is the key that
        // quits)...
        FUZZ_CHECK((fin.key == Key::Other || (fin.key == Key::Quit && n == 1)) &&
                   (fin.used == n || (fin.used == 1 && u0 >= 0x80)));
        // ...that some byte could still carry on.
        bool goes_on = false;
        for (char b : EXT) {
            ext.back() = b;
            Read r = decode(ext.data() + at, n + 1, false);
            goes_on |= r.key == Key::None || r.used > n;
        }
        FUZZ_CHECK(goes_on);
    } else {
        FUZZ_CHECK(open == fin);
        // Decided: what follows does not matter.
        for (char b : EXT) {
            ext.back() = b;
            FUZZ_CHECK(decode(ext.data() + at, n + 1, false) == open);
            FUZZ_CHECK(decode(ext.data() + at, n + 1, true) == open);
        }
    }
    const auto u = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const bool arrow_bytes = n >= 3 && u(0) == 0x1b && (s[1] == '[' || s[1] == 'O') && u(2) >= 'A' && u(2) <= 'D';
    if (arrow_bytes) {
        const Key want[] = {Key::Up, Key::Down, Key::Right, Key::Left};
        FUZZ_CHECK(fin.key == want[u(2) - 'A'] && fin.used == 3);
    }
    FUZZ_CHECK(arrow(fin.key) == arrow_bytes);
    FUZZ_CHECK((fin.key == Key::Space) == (s[0] == ' '));
    if (fin.key == Key::Space)
        FUZZ_CHECK(fin.used == 1);
}

// Keys of s when all of it is there and nothing more will come.
std::vector<Read> whole(const std::string& s, bool check)
{
    std::vector<Read> out;
    std::string ext = s + ' ';
    if (check)
        check_first(s, s.size(), ext); // nothing left
    for (size_t at = 0; at < s.size();) {
        if (check)
            check_first(s, at, ext);
        Read r = decode(s.data() + at, s.size() - at, true);
        FUZZ_CHECK(r.used >= 1 && r.used <= s.size() - at);
        out.push_back(r);
        at += r.used;
    }
    return out;
}

// Keys of s as they are decoded while it arrives in the given chunks.
std::vector<Read> trickle(const std::string& s, const std::vector<size_t>& lens)
{
    std::vector<Read> out;
    std::string buf;
    size_t fed = 0, steps = 0;
    for (size_t k = 0; k <= lens.size(); k++) {
        const bool final = k == lens.size();
        if (!final) {
            buf.append(s, fed, lens[k]);
            fed += lens[k];
        }
        for (;;) {
            FUZZ_CHECK(++steps <= 2 * s.size() + lens.size() + 2);
            Read r = decode(buf, final);
            if (r.key == Key::None) {
                FUZZ_CHECK(!final || buf.empty());
                std::string ext = buf + ' ';
                check_first(buf, 0, ext); // waiting is justified
                break;
            }
            FUZZ_CHECK(r.used >= 1 && r.used <= buf.size());
            out.push_back(r);
            buf.erase(0, r.used);
        }
    }
    FUZZ_CHECK(buf.empty());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_data = data;
    fuzz_size = size;
    const std::string s(reinterpret_cast<const char*>(data), size);
    const std::vector<Read> keys = whole(s, true);
    same_however_cut(data, size, 2, keys, [&](const std::vector<size_t>& cut) { return trickle(s, cut); });
    InputRng rng(data, size, 3);

    // Arrows put between the keys of s, in either form, come out as arrows
    // in their places, and the keys of s around them stay as they were.
    static const struct {
        const char* bytes;
        Key key;
    } ARROWS[] = {
        {"\x1b[A", Key::Up},   {"\x1b[B", Key::Down},  {"\x1b[C", Key::Right}, {"\x1b[D", Key::Left},
        {"\x1bOA", Key::Up},   {"\x1bOB", Key::Down},  {"\x1bOC", Key::Right}, {"\x1bOD", Key::Left},
    };
    std::string mixed;
    std::vector<Read> want;
    size_t at = 0;
    for (size_t k = 0; k <= keys.size(); k++) {
        for (size_t a = rng.below(3); a > 0; a--) {
            const auto& arr = ARROWS[rng.below(8)];
            mixed += arr.bytes;
            want.push_back({arr.key, 3});
        }
        if (k < keys.size()) {
            mixed.append(s, at, keys[k].used);
            want.push_back(keys[k]);
            at += keys[k].used;
        }
    }
    FUZZ_CHECK(whole(mixed, false) == want);
    FUZZ_CHECK(trickle(mixed, chunks(mixed.size(), rng, true)) == want);
    FUZZ_CHECK(trickle(mixed, chunks(mixed.size(), rng, false)) == want);
    return 0;
}
