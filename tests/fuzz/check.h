// Shared by the fuzz targets: a check that stops the run with the input
// that broke it, and a split of an input into chunks that depends only on
// the input, so that every failure recurs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

[[noreturn]] inline void fuzz_fail(const char* what, int line, const uint8_t* data, size_t size)
{
    std::fprintf(stderr, "property broken at line %d: %s\ninput (%zu bytes):", line, what, size);
    for (size_t k = 0; k < size; k++)
        std::fprintf(stderr, " %02x", data[k]);
    std::fprintf(stderr, "\n");
    std::abort();
}

#define FUZZ_CHECK(cond)                                     \
    do {                                                     \
        if (!(cond))                                         \
            fuzz_fail(#cond, __LINE__, fuzz_data, fuzz_size); \
    } while (0)

// A small generator seeded from the input's bytes (FNV-1a, then xorshift).
class InputRng {
public:
    InputRng(const uint8_t* p, size_t n, uint64_t salt)
    {
        s_ = 1469598103934665603ULL ^ salt;
        for (size_t k = 0; k < n; k++)
            s_ = (s_ ^ p[k]) * 1099511628211ULL;
        if (s_ == 0)
            s_ = 1;
    }
    uint64_t next()
    {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return s_;
    }
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }

private:
    uint64_t s_;
};

// Chunk lengths that add up to n: all single bytes when `bytewise`, else
// random lengths of 1..8 (and now and then a long one).
inline std::vector<size_t> chunks(size_t n, InputRng& rng, bool bytewise)
{
    std::vector<size_t> out;
    while (n > 0) {
        size_t len = bytewise ? 1 : (rng.below(8) == 0 ? 1 + rng.below(64) : 1 + rng.below(8));
        if (len > n)
            len = n;
        out.push_back(len);
        n -= len;
    }
    return out;
}

// Reading `data` cut into pieces, a byte at a time and at random, gives
// `want`, what reading it whole gave; `read` takes the pieces' lengths.
template <class T, class Read>
void same_however_cut(const uint8_t* data, size_t size, uint64_t salt, const T& want, Read read)
{
    InputRng rng(data, size, salt);
    for (bool bytewise : {true, false})
        if (!(read(chunks(size, rng, bytewise)) == want))
            fuzz_fail(bytewise ? "the same byte by byte" : "the same in random pieces", __LINE__, data, size);
}
