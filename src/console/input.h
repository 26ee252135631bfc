// What every console makes of the input: keys decoded from terminal bytes,
// the line being typed at a question, and the entered lines read entry by
// entry. No I/O here, so all of it can be tested and fuzzed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "console/console.h"

struct KeyRead {
    Key key;      // Key::None: more bytes are needed to tell
    size_t used;  // bytes that make up the key; 0 with Key::None
};

// Decodes the first key in p[0..n). With `final` set no more bytes will
// follow soon, so an incomplete sequence counts as one key (Other).
KeyRead decode_key(const unsigned char* p, size_t n, bool final);

enum class Num { Number, Overflow, Bad, None };

struct NumRead {
    Num kind;     // None: nothing but blanks
    int value;    // with Number
    size_t used;  // bytes consumed
};

// Reads the first entry of complete lines: blanks skipped, then a token up
// to the next blank. An optionally signed decimal token is a Number, or an
// Overflow beyond int; any other token is Bad and takes the rest of its
// line with it.
NumRead parse_int(const char* p, size_t n);

// Lines entered at the questions and not read yet, read entry by entry, so
// that answers typed ahead answer the next questions.
class Answers {
public:
    void add(std::string_view line);  // one entered line, without its end
    // Moves the first complete line of `in` here, or at the end of input
    // what is left of it; false when there is none.
    bool take(std::string& in, bool eof);
    // ANSWER with *v set, WRONG (the entry is dropped), or -2 when no
    // entry is left.
    int next(int* v);
    static constexpr int NONE = -2;

private:
    std::string lines_;
};

// The line being typed at a question.
class Line {
public:
    // Adds one character (its UTF-8 bytes) when it fits in `room` columns;
    // a character beyond ASCII takes two.
    bool add(std::string_view ch, int room);
    // Erases the last character; false when there is none.
    bool erase();
    void clear();
    const std::string& text() const { return text_; }
    bool empty() const { return text_.empty(); }

private:
    std::string text_;
    int cols_ = 0;
};
