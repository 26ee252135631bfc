// Output for terminals that speak control sequences: colours, cursor and
// clearing become ECMA-48 sequences in one buffer, text is re-encoded for
// the terminal's locale. The POSIX console and the test double share it,
// so tests see exactly the bytes a terminal gets.
#pragma once

#include <iconv.h>

#include <string>

#include "console/columns.h"
#include "console/console.h"

// UTF-8 to the terminal's encoding: GBK, GB18030 and GB2312 through iconv,
// UTF-8 (unchanged) for every other codeset.
class Encoder {
public:
    explicit Encoder(const char* codeset);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    void append(std::string& dst, const char* p, size_t n);
    bool converting() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

private:
    iconv_t cd_;
};

class AnsiConsole : public Console {
public:
    explicit AnsiConsole(const char* codeset) : enc_(codeset) {}

    void attr(int fore, int back) override;
    void cursor(bool visible) override;
    void move(int col, int row) override;
    void clear() override;
    void text(std::string_view utf8) override;
    void flush() override;

    // The SGR sequence that selects a console attribute.
    static std::string sgr(int fore, int back);

protected:
    // Delivers bytes to the terminal.
    virtual void emit(const char* p, size_t n) = 0;
    // Forget what the terminal was last told (it may have been reset).
    void forget() { attr_ = -1; cols_.at(-1); }

    std::string buf_;       // pending output, in the terminal's encoding
    Encoder enc_;
    bool hidden_ = false;   // cursor hidden by the game
    int row_ = 0;           // row of the last cursor placement

private:
    void seq(const char* s);
    int attr_ = -1;         // attribute last sent, -1 when unknown
    Columns cols_;
};
