// The number reader of the prompts, against a reference reader built on
// strtoll: the same kind, value and length for every input, whether the
// input is complete or may still go on; and the prompts' reading loop ends
// and reads the same numbers however the input is cut into pieces.
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

// What the reader must answer for s, where `eof` says nothing follows it.
NumRead reference(const std::string& s, bool eof)
{
    const size_t n = s.size();
    size_t lead = 0;
    while (lead < n && blank(s[lead]))
        lead++;
    if (lead == n)
        return {eof ? Num::End : Num::More, 0, n};
    // strtoll stops at the first NUL, which is no digit for either reader.
    const char* start = s.c_str();
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(start, &end, 10);
    const bool range = errno == ERANGE;
    const size_t used = static_cast<size_t>(end - start);
    if (used > 0) {
        if (used == n && !eof)
            return {Num::More, 0, lead}; // more digits may follow
        if (range || v < INT_MIN || v > INT_MAX)
            return {Num::Overflow, 0, used};
        return {Num::Number, static_cast<int>(v), used};
    }
    // No number: the rest of the line goes, once the line is complete.
    size_t nl = s.find('\n', lead);
    if (nl == std::string::npos)
        return eof ? NumRead{Num::Bad, 0, n} : NumRead{Num::More, 0, lead};
    return {Num::Bad, 0, nl + 1};
}

void check_one(const std::string& s, bool eof)
{
    NumRead r = parse_int(s.data(), s.size(), eof);
    NumRead want = reference(s, eof);
    FUZZ_CHECK(r.used <= s.size());
    FUZZ_CHECK(!(eof && r.kind == Num::More));
    // Progress: only More (waiting for input) and End of nothing take no byte.
    if (r.kind == Num::Number || r.kind == Num::Overflow || r.kind == Num::Bad)
        FUZZ_CHECK(r.used >= 1);
    if (r.kind == Num::End)
        FUZZ_CHECK(r.used == s.size());
    if (r.kind == Num::More)
        for (size_t k = 0; k < r.used; k++)
            FUZZ_CHECK(blank(s[k]));
    FUZZ_CHECK(r.kind == want.kind);
    FUZZ_CHECK(r.used == want.used);
    if (r.kind == Num::Number)
        FUZZ_CHECK(r.value == want.value);
}

struct Token {
    Num kind;
    int value;
    bool operator==(const Token& o) const { return kind == o.kind && value == o.value; }
};

// The prompts' loop: parse what has arrived, wait for more on More, stop at
// the end of input. Returns every answer read.
std::vector<Token> read_all(const std::string& s, const std::vector<size_t>& lens)
{
    std::vector<Token> out;
    std::string buf;
    size_t fed = 0, next = 0, steps = 0;
    for (;;) {
        // Each answer takes a byte and each wait a chunk: anything more loops.
        FUZZ_CHECK(++steps <= 2 * s.size() + 2);
        const bool eof = next == lens.size();
        NumRead r = parse_int(buf.data(), buf.size(), eof);
        FUZZ_CHECK(r.used <= buf.size());
        if (r.kind == Num::More) {
            FUZZ_CHECK(!eof);
            buf.erase(0, r.used);
            buf.append(s, fed, lens[next]);
            fed += lens[next++];
            continue;
        }
        if (r.kind == Num::End)
            break;
        FUZZ_CHECK(r.used >= 1);
        out.push_back({r.kind, r.kind == Num::Number ? r.value : 0});
        buf.erase(0, r.used);
    }
    FUZZ_CHECK(fed == s.size());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_data = data;
    fuzz_size = size;
    const std::string s(reinterpret_cast<const char*>(data), size);
    check_one(s, true);
    check_one(s, false);

    const std::vector<size_t> whole = size ? std::vector<size_t>{size} : std::vector<size_t>{};
    const std::vector<Token> want = read_all(s, whole);
    InputRng rng(data, size, 1);
    FUZZ_CHECK(read_all(s, chunks(size, rng, true)) == want);
    FUZZ_CHECK(read_all(s, chunks(size, rng, false)) == want);
    return 0;
}
