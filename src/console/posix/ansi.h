// Drawing on a terminal that speaks control sequences: the POSIX console
// and the test double share it, so tests see exactly the bytes a terminal
// gets. Colours, the cursor and clearing become ECMA-48 sequences in one
// buffer, each the shortest that does the job from what the terminal was
// last told; text is re-encoded for the terminal's locale.
#pragma once

#include <iconv.h>

#include <string>

#include "console/base.h"

// UTF-8 to the terminal's encoding: GBK, GB18030 and GB2312 through iconv,
// UTF-8 (unchanged) for every other codeset.
class Encoder {
public:
    explicit Encoder(const char* codeset);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    // A character the encoding lacks becomes one "?".
    void append(std::string& dst, const char* p, size_t n);
    bool converting() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Whether the encoding has the character ch (its UTF-8 bytes).
    bool has(std::string_view ch);

private:
    iconv_t cd_;
};

// The terminal's palette index of a console colour. The console keeps red in
// bit 2 and blue in bit 0, terminals the other way round; swapping them back
// is the same step, so this also maps a palette index to the console's.
constexpr int ansi_colour(int c) { return (c & 8) | ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2); }

class AnsiConsole : public BaseConsole {
public:
    explicit AnsiConsole(const char* codeset) : enc_(codeset) {}
    ~AnsiConsole() override;

    // The SGR sequence that selects a console attribute from any state.
    static std::string sgr(int fore, int back);

protected:
    // What a platform supplies: delivers bytes to the terminal.
    virtual void emit(const char* p, size_t n) = 0;

    // Asks the terminal where "■" leaves the cursor, off screen of the
    // game's picture, which is cleared after.
    std::string probe();

    void pen(int fore, int back) override;
    void pen_back(int back) override;
    void go(int col, int row) override;
    void put(std::string_view utf8) override;
    void blank(int n) override;
    void wipe() override;
    int cost_go(int col, int row) const override;
    int cost_pen(int fore, int back) const override;
    int cost_pen_back(int back) const override;
    int cost_put(char16_t ch) const override;
    int cost_blank(int n) const override;

    void show_cursor(bool visible) override;
    void erase_line() override;
    void send() override;
    int echo_width(std::string_view ch) override;
    void forget() override;

    std::string buf_;       // pending output, in the terminal's encoding
    Encoder enc_;

private:
    std::string move_to(int col, int row) const;

    // What the terminal was last told: the cursor (-1 not known) and the
    // colours (-1 not known; a foreground of -2 is the terminal's own).
    int col_ = -1, row_ = -1;
    int fg_ = -1, bg_ = -1;
};
