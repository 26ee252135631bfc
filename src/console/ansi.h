// A console on a terminal that speaks control sequences and sends keys as
// bytes: the POSIX console and the test double share all of it, so tests
// see exactly the bytes a terminal gets and run the same key queue, pause
// and question reader as the game does.
//
// Output: colours, cursor and clearing become ECMA-48 sequences in one
// buffer, text is re-encoded for the terminal's locale. Input: one byte
// stream, decoded into keys in play and edited into lines at a question.
#pragma once

#include <iconv.h>

#include <deque>
#include <string>

#include "console/columns.h"
#include "console/console.h"
#include "console/input.h"

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

// The terminal's palette index of a console colour. The console keeps red in
// bit 2 and blue in bit 0, terminals the other way round; swapping them back
// is the same step, so this also maps a palette index to the console's.
constexpr int ansi_colour(int c) { return (c & 8) | ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2); }

class AnsiConsole : public Console {
public:
    explicit AnsiConsole(const char* codeset) : enc_(codeset) {}

    void attr(int fore, int back) override;
    void cursor(bool visible) override;
    void move(int col, int row) override;
    void clear() override;
    void text(std::string_view utf8) override;
    void flush() override;

    Key key() override;
    void wait_key(int due_ms) override;
    void pause(std::string_view prompt) override;
    int read_int(int* v) override;
    bool wait_resize_or_key() override;

    // The SGR sequence that selects a console attribute.
    static std::string sgr(int fore, int back);

protected:
    // What a platform supplies.
    // Delivers bytes to the terminal.
    virtual void emit(const char* p, size_t n) = 0;
    // Appends to in_ what the input holds now, without waiting; sets eof_
    // once it has ended.
    virtual void fill() = 0;
    // Waits until input may have come, an event is pending, or now_ms()
    // reaches due_ms (-1: no limit).
    virtual void block(int due_ms) = 0;
    // Handles the pending events that end or suspend the program; true
    // when the terminal lost the screen since the last call.
    virtual bool lost() = 0;

    // Forget what the terminal was last told (it may have been reset).
    void forget() { attr_ = -1; cols_.at(-1); }

    std::string buf_;       // pending output, in the terminal's encoding
    Encoder enc_;
    bool hidden_ = false;   // cursor hidden by the game
    std::string in_;        // input bytes not used yet
    bool eof_ = false;      // the input has ended
    bool edit_ = true;      // input is typed: questions echo and edit it
    bool asking_ = false;   // a question waits for its answer

private:
    void put(std::string_view s);
    void keep(size_t at);
    bool serve();
    void replay();
    KeyRead first_key();
    Key next_key(bool take);
    int due_partial() const;
    bool take_line();
    void edit(const std::string& bytes);
    void show_line();
    void enter();

    int attr_ = -1;         // attribute last sent, -1 when unknown
    Columns cols_;
    int row_ = 0;           // row of the last cursor placement
    int partial_since_ = -1; // when the incomplete key in in_ arrived
    Answers answers_;
    Line line_;             // what is being typed at the question
    bool ended_ = false;    // end of input typed at a question
    // What the questions showed since the last clear, line by line, each
    // line opening with the attribute it starts in: a redraw puts it back.
    std::deque<std::string> shown_ = {""};
    bool echoing_ = false;  // output that is no part of shown_
    std::string pause_;     // the prompt of the pause under way, its row and colour
    int pause_row_ = 0;
    int pause_attr_ = -1;
};
