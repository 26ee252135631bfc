// Characters in UTF-8, the one place that knows the encoding's bytes, and
// the columns a character takes: the game lays every character that is not
// ASCII out in two columns, and terminals disagree only on "■" and the
// arrows, which many draw in one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Length of the character at p[0..n): > 0 when it is whole and valid (its
// shortest form, within Unicode, no surrogate), 0 when it is valid so far
// but cut short, -1 when p[0] starts no valid character. Its code in *c.
int utf8_len(const unsigned char* p, size_t n, char32_t* c = nullptr);

// The character at s[k], k moved past it; what is broken counts as one
// U+FFFD a byte.
char32_t utf8_next(std::string_view s, size_t& k);

// Appends the character's UTF-8 to out; utf8_bytes() says how many bytes.
void utf8_put(std::string& out, char32_t c);
inline int utf8_bytes(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Where the character that ends at s[end] begins.
size_t utf8_back(std::string_view s, size_t end);

// Whether ch is one of the glyphs a terminal may draw one column wide.
bool ambiguous(char32_t ch);

// Columns the game lays ch out in.
inline int layout_width(char32_t ch) { return ch < 0x80 ? 1 : 2; }

// The column a terminal's cursor stands in after it draws s from column
// `col`, when it draws the ambiguous glyphs `amb` columns wide (0: not
// known); -1 when that cannot be told.
int cursor_after(int col, std::string_view s, int amb);
