// The one door between the game and the platform: the game draws, reads
// keys and answers, and keeps time only through the Console. It is made of
// parts with one job each (the typed input, the questions, the picture of
// the play screen) over one Platform, and serves every screen with one
// loop: keys, deadlines, the end of input, stop and continue, resizes and
// the "too small" screen are handled here once.
#pragma once

#include <string>
#include <string_view>

#include "console/answers.h"
#include "console/keys.h"
#include "console/picture.h"
#include "console/questions.h"

class Platform;

class Console {
public:
    explicit Console(Platform& pf);
    virtual ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Output, buffered until flush(); everything below that waits flushes
    // first. Colours are console numbers (bit 0 blue, bit 2 red).
    virtual void attr(int fore, int back);
    virtual void cursor(bool visible);
    // In play only: at a question the screen is text that scrolls, and
    // what a move placed could not be drawn again (debug builds refuse it).
    virtual void move(int col, int row);
    virtual void clear();
    virtual void text(std::string_view utf8);
    virtual void flush();

    // Two modes. In play the console keeps a picture of the screen, `cols`
    // x `rows`, which the drawing above changes; it sends what changed at
    // every flush and paints it all again when the terminal lost it. While
    // the terminal is smaller than need_cols x rows it says so instead,
    // until it is made larger or a key is pressed. Otherwise text scrolls,
    // and the questions are asked.
    virtual void play(int need_cols, int rows, int cols);
    virtual void ask();
    bool playing() const { return playing_; }

    // The next key typed, or news (Resumed, Ended, each said once), or
    // Key::None when there is none; never waits.
    virtual Key key();
    // Waits until key() has something, or the clock reaches due_ms.
    virtual void wait_key(int due_ms);
    // Drops what was typed before, shows `prompt` where the cursor stands
    // (unless the platform's own pause shows its own) and waits for one
    // key, which it consumes. Returns at the end of input too.
    virtual void pause(std::string_view prompt);
    // Reads the next number typed at a question, as "%d" reads it: ANSWER
    // with *v set, WRONG, or ENDED.
    virtual int read_int(int* v);

    // Milliseconds of real time since start, on a clock that never stops.
    virtual int now_ms();
    // Waits, the screen shown and the keys typed meanwhile kept.
    virtual void sleep_ms(int ms);
    // Calendar time, to seed the piece generator.
    virtual unsigned seed();

    // Ends the program: gives the terminal back, then says why (after the
    // file name `name`, escaped, when one is given) and exits.
    [[noreturn]] virtual void quit(int status, const char* why, const char* name = nullptr);

    // The picture of the play screen, as the game drew it.
    const Picture& picture() const { return pic_; }

private:
    Key next(int due_ms, bool consume);
    void serve();
    bool pull(bool lines);
    void measure();
    bool too_small() const;
    void small_screen();
    void hand_over();

    Platform& pf_;
    Typed typed_;
    Questions q_;
    Picture pic_;
    Answers answers_;
    std::string entered_;      // lines entered at the questions, not read yet
    bool entered_ended_ = false; // and the end of input typed after them
    int attr_;                 // the colours in force, fore + 16 * back
    bool hidden_ = false;      // cursor hidden by the game
    bool playing_ = false;
    unsigned events_ = 0;      // events seen while sleeping, not served yet
    Key news_ = Key::None;     // Resumed, not given to the screen yet
    bool ended_told_ = false;
    bool quitting_ = false;
    int need_cols_ = 0, need_rows_ = 0; // what play needs of the terminal
    bool sized_ = false;                // the terminal's size is known
    int tcols_ = 0, trows_ = 0;         // and is this; 0 not measured
    int glyph_width_ = -1;              // as the painter was last told
};
