// The answers to the questions, read number by number from text as it
// comes, as "%d" reads a stream: blanks skipped, an optional sign, the
// digits; what follows them is left for the next read. No I/O here, so all
// of it can be tested and fuzzed.
#pragma once

#include <cstddef>
#include <string>

// What a read found.
constexpr int ANSWER = 1;  // a number in int range
constexpr int WRONG = 0;   // an entry that is no such number, already dropped
constexpr int ENDED = -1;  // the input has ended

class Answers {
public:
    static constexpr int NONE = -2; // the text so far holds no whole entry

    // Reads the next entry from the front of `text`, taking out what it
    // used; `ended`: no more text will come. ANSWER with *v set; WRONG for
    // a number outside int, a sign with no digit after it (only the sign is
    // used) or text that starts with no number (the rest of its line goes
    // with it); ENDED once the text has ended, or more than a mebibyte came
    // that answered nothing; NONE while more text is needed.
    int next(std::string& text, bool ended, int* v);

private:
    enum Phase { BLANKS, DIGITS, DROP };
    Phase phase_ = BLANKS;
    bool neg_ = false;       // in DIGITS: the sign
    bool digits_ = false;    // in DIGITS: at least one digit came
    long long value_ = 0;    // in DIGITS: the magnitude, up to just past int
    size_t idle_ = 0;        // bytes used since the last entry
};
