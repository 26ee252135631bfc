// The codes the Windows runtime's _getch gives for a key, as the bytes a
// terminal would send for it: arrows, Home and End as control sequences,
// any other key of two codes as one that means nothing, Ctrl-Z (the
// console's end of input) as Ctrl-D. Only the prefix 224 starts a key of
// two codes: a first code 0 is dropped, and the code after it is read as a
// first code of its own. No system header: it is tested anywhere.
#pragma once

#include <string>

// Whether `first` is followed by a second code that belongs to it.
inline bool two_codes(int first) { return first == 224; }

// The bytes for a key: `second` is its second code when it has one.
inline std::string console_key(int first, int second)
{
    if (first == 224) {
        switch (second) {
        case 72: return "\x1b[A";
        case 80: return "\x1b[B";
        case 77: return "\x1b[C";
        case 75: return "\x1b[D";
        case 71: return "\x1b[H";
        case 79: return "\x1b[F";
        default: return "\x1b[~";
        }
    }
    if (first == 0)
        return "";
    if (first == 26)
        return "\x04";
    if (first >= 0x80)
        return "\x1b[~"; // a character of the console's code page
    return std::string(1, static_cast<char>(first));
}
