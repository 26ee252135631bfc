// The reader of the answers to the questions, against a reference built on
// strtoll, which reads a number as "%d" does: the same kind, value and
// length for every input; and entered
// lines read the same entries however the input is cut into pieces.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "check.h"
#include "console/input.h"

namespace {

const uint8_t* fuzz_data;
size_t fuzz_size;

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// What the reader must answer for s: the number strtoll reads after the
// blanks, or a wrong entry up to the end of the line when it reads none.
NumRead reference(const std::string& s)
{
    const size_t n = s.size();
    size_t k = 0;
    while (k < n && blank(s[k]))
        k++;
    if (k == n)
        return {Num::None, 0, n};
    // strtoll takes blanks of its own and stops at a NUL: give it neither.
    const size_t nul = s.find('\0', k);
    const std::string from = s.substr(k, nul == std::string::npos ? std::string::npos : nul - k);
    char* end = nullptr;
    errno = 0;
    const long long v = blank(from[0]) ? 0 : std::strtoll(from.c_str(), &end, 10);
    if (end == nullptr || end == from.c_str()) {
        const size_t nl = s.find('\n', k);
        return {Num::Bad, 0, nl == std::string::npos ? n : nl + 1};
    }
    const size_t used = k + static_cast<size_t>(end - from.c_str());
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return {Num::Overflow, 0, used};
    return {Num::Number, static_cast<int>(v), used};
}

struct Entry {
    int kind;
    int value;
    bool operator==(const Entry& o) const { return kind == o.kind && value == o.value; }
};

// Lines arriving in chunks of the given lengths, read entry by entry as the
// questions read them, until the input ends.
std::vector<Entry> read_all(const std::string& s, const std::vector<size_t>& lens)
{
    std::vector<Entry> out;
    Answers a;
    std::string in;
    size_t fed = 0;
    for (size_t next = 0;; next++) {
        const bool eof = next == lens.size();
        if (!eof) {
            in.append(s, fed, lens[next]);
            fed += lens[next];
        }
        while (a.take(in, eof)) {
        }
        int v = 0;
        for (int r; (r = a.next(&v)) != Answers::NONE;)
            out.push_back({r, r == ANSWER ? v : 0});
        if (eof)
            break;
    }
    FUZZ_CHECK(in.empty());
    FUZZ_CHECK(fed == s.size());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_data = data;
    fuzz_size = size;
    const std::string s(reinterpret_cast<const char*>(data), size);
    const NumRead r = parse_int(s.data(), s.size());
    const NumRead want = reference(s);
    FUZZ_CHECK(r.used <= s.size());
    FUZZ_CHECK(r.kind == want.kind);
    FUZZ_CHECK(r.used == want.used);
    if (r.kind == Num::Number)
        FUZZ_CHECK(r.value == want.value);
    // Every entry takes at least one byte, so reading always ends.
    FUZZ_CHECK(r.kind == Num::None || r.used >= 1);

    const std::vector<size_t> whole = size ? std::vector<size_t>{size} : std::vector<size_t>{};
    same_however_cut(data, size, 1, read_all(s, whole), [&](const std::vector<size_t>& cut) { return read_all(s, cut); });
    return 0;
}
