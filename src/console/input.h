// What every console makes of the input: keys decoded from terminal bytes,
// the line being typed at a question, and the entered lines read number by
// number. No I/O here, so all of it can be tested and fuzzed.
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

// Reads one decimal number from complete lines as "%d" does: blanks
// skipped, an optional sign, the digits; what follows them is left for the
// next read. A Number, or an Overflow beyond int; text that does not start
// with a number is Bad and takes the rest of its line with it.
NumRead parse_int(const char* p, size_t n);

// Lines entered at the questions and not read yet, read number by number,
// so that answers typed ahead answer the next questions.
class Answers {
public:
    void add(std::string_view line);  // one entered line, without its end
    void add_wrong();                 // a line that is one wrong entry
    // Moves the first complete line of `in` here, or at the end of input
    // what is left of it; false when there is none.
    bool take(std::string& in, bool eof);
    // ANSWER with *v set, WRONG (the entry is dropped), or NONE when no
    // entry is left.
    int next(int* v);
    static constexpr int NONE = -2;

private:
    std::string lines_;
    size_t at_ = 0;  // lines_ before this has been read
};

// The line being typed at a question, with the columns each of its
// characters takes on the terminal.
class Line {
public:
    // Adds one character (its UTF-8 bytes) taking `w` columns, when the
    // line still fits in `room` columns then.
    bool add(std::string_view ch, int w, int room);
    // Erases the last character; false when there is none.
    bool erase();
    void clear();
    const std::string& text() const { return text_; }
    bool empty() const { return text_.empty(); }
    int width() const { return cols_; }
    // Bytes from which the line's last characters fit in `room` columns.
    size_t tail(int room) const;

private:
    std::string text_;
    std::string widths_;  // columns of each character, in order
    int cols_ = 0;
};
