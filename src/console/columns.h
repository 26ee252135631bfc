// Where text leaves the cursor. "■" and the arrows are one column wide on
// many terminals and two on others; the game lays them out as two, so text
// that follows one on the same line is put in its place explicitly.
#pragma once

#include <cstddef>
#include <string_view>

struct Columns {
    int col = -1;        // column the cursor stands in, -1 when unknown
    bool unsure = false; // the last glyph may have been drawn one column wide

    void at(int c)
    {
        col = c;
        unsure = false;
    }

    // True when the cursor must be put back at `col` before byte `b` is written.
    bool realign_before(char b)
    {
        if (!unsure || b == '\n' || b == '\r')
            return false;
        unsure = false;
        return true;
    }

    // Moves past the character at s[k]; returns its length in bytes.
    size_t advance(std::string_view s, size_t k)
    {
        unsigned char b = static_cast<unsigned char>(s[k]);
        size_t len = b < 0x80 ? 1 : b >= 0xf0 ? 4 : b >= 0xe0 ? 3 : 2;
        if (b == '\n' || b == '\r') {
            at(0);
        } else if (col >= 0) {
            col += b < 0x80 ? 1 : 2;
            // U+2190..U+21FF arrows, U+25A0..U+25FF geometric shapes.
            if (len == 3 && b == 0xe2 && k + 1 < s.size()) {
                unsigned char c = static_cast<unsigned char>(s[k + 1]);
                if (c == 0x86 || c == 0x87 || c == 0x96 || c == 0x97)
                    unsure = true;
            }
        }
        return len;
    }
};
