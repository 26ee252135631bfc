// Pure decoders for what arrives on standard input: keys during play and
// numbers at the prompts. No I/O here, so both can be tested and fuzzed.
#pragma once

#include <cstddef>
#include <string>

enum class Key { None, Space, Up, Down, Left, Right, Other };

struct KeyRead {
    Key key;      // None: more bytes are needed to tell
    size_t used;  // bytes that make up the key; 0 with Key::None
};

// Decodes the first key in p[0..n). With `final` set no more bytes will
// follow soon, so an incomplete sequence counts as one ignored key.
KeyRead decode_key(const unsigned char* p, size_t n, bool final);

// The codes the Windows console gives for a key: space 32, an arrow 224 and
// 72/75/77/80; any other key a lone 0. Returns how many it put in `codes`.
int key_codes(Key k, int codes[2]);

enum class Num { More, Number, Overflow, Bad, End };

struct NumRead {
    Num kind;     // More: read further input and call again
    int value;    // with Number
    size_t used;  // bytes consumed; with More, leading blanks that may go
};

// Reads one decimal integer the way "%d" would: blanks skipped, an optional
// sign, digits. Text that is no number is consumed to the end of its line
// (Bad); a number beyond int is consumed whole and refused (Overflow). `eof`
// says that p[0..n) is all that is left of the input.
NumRead parse_int(const char* p, size_t n, bool eof);

// Takes the next answer to a prompt from the front of `in`: 1 with *v set,
// 0 for an unusable entry (dropped from `in`), NEED_MORE when the answer is
// not complete yet, INPUT_ENDED when nothing is left and nothing will come.
constexpr int NEED_MORE = -1;
constexpr int INPUT_ENDED = -2;
int take_int(std::string& in, bool eof, int* v);
