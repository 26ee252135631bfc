// The reader of the answers to the questions, against a reference built on
// strtoll, which reads a number as "%d" does: the same entries, each with
// its value, for every input, and the same however the input is cut into
// pieces as it arrives.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "check.h"
#include "console/answers.h"

namespace {

const uint8_t* fuzz_data;
size_t fuzz_size;

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool digit(char c) { return c >= '0' && c <= '9'; }

struct Entry {
    int kind;
    int value;
    bool operator==(const Entry& o) const { return kind == o.kind && value == o.value; }
};

// What the reader must find in s, read to its end: each read skips the
// blanks, then takes the number strtoll reads; a sign with no digit after
// it is a wrong entry of the sign alone, and text that starts with no
// number one of the rest of its line.
std::vector<Entry> reference(const std::string& s)
{
    std::vector<Entry> out;
    const size_t n = s.size();
    for (size_t k = 0;;) {
        while (k < n && blank(s[k]))
            k++;
        if (k == n)
            break;
        const bool sign = s[k] == '+' || s[k] == '-';
        if (!digit(s[k]) && !(sign && k + 1 < n && digit(s[k + 1]))) {
            if (sign) {
                k++;
            } else {
                const size_t nl = s.find('\n', k);
                k = nl == std::string::npos ? n : nl + 1;
            }
            out.push_back({WRONG, 0});
            continue;
        }
        size_t end = k + sign;
        while (end < n && digit(s[end]))
            end++;
        const std::string number = s.substr(k, end - k);
        errno = 0;
        const long long v = std::strtoll(number.c_str(), nullptr, 10);
        if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
            out.push_back({WRONG, 0});
        else
            out.push_back({ANSWER, static_cast<int>(v)});
        k = end;
    }
    out.push_back({ENDED, 0});
    return out;
}

// The input arriving in chunks of the given lengths, read entry by entry as
// the questions read it, until it ends.
std::vector<Entry> read_all(const std::string& s, const std::vector<size_t>& lens)
{
    std::vector<Entry> out;
    Answers a;
    std::string in;
    size_t fed = 0;
    for (size_t next = 0;; next++) {
        const bool ended = next >= lens.size();
        if (!ended) {
            in.append(s, fed, lens[next]);
            fed += lens[next];
        }
        int v = 0;
        for (int r; (r = a.next(in, ended, &v)) != Answers::NONE;) {
            out.push_back({r, r == ANSWER ? v : 0});
            if (r == ENDED)
                return out;
        }
        FUZZ_CHECK(!ended);
        // Nothing is held back but what a number may still continue.
        FUZZ_CHECK(in.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_data = data;
    fuzz_size = size;
    const std::string s(reinterpret_cast<const char*>(data), size);
    const std::vector<size_t> whole = size ? std::vector<size_t>{size} : std::vector<size_t>{};
    const std::vector<Entry> got = read_all(s, whole);
    FUZZ_CHECK(got == reference(s));
    same_however_cut(data, size, 1, got, [&](const std::vector<size_t>& cut) { return read_all(s, cut); });
    return 0;
}
