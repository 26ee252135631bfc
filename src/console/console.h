// The one door between the game and the platform. The game draws, reads
// keys and answers, and keeps time only through a Console; each platform
// (the POSIX terminal, the Windows console) and the test double implement
// it, and the game's own console primitives are built on top of it.
#pragma once

#include <string_view>

// Keys as the game and the log's viewer tell them apart; every other key is
// Other. Quit is q or a lone Esc. Small is no key: in play, the terminal has
// become smaller than the screen needs.
enum class Key { None, Left, Right, Up, Down, Space, Home, End, Quit, Other, Small };

// What read_int() found.
constexpr int ANSWER = 1;  // a number in int range
constexpr int WRONG = 0;   // an entry that is no such number, already dropped
constexpr int ENDED = -1;  // the input has ended

class Console {
public:
    virtual ~Console() = default;

    // Output, buffered until flush(); everything below that waits flushes
    // first. Colours are console numbers (bit 0 blue, bit 2 red).
    virtual void attr(int fore, int back) = 0;
    virtual void cursor(bool visible) = 0;
    virtual void move(int col, int row) = 0;
    virtual void clear() = 0;
    virtual void text(std::string_view utf8) = 0;
    virtual void flush() = 0;

    // Two modes. In play the console keeps a picture of the screen, which
    // the drawing above changes; it sends what changed at every flush and
    // paints it all again when the terminal lost it. `cols` x `rows` is
    // what play needs of the terminal. Otherwise text scrolls, and the
    // questions are asked.
    virtual void play(int cols, int rows) = 0;
    virtual void ask() = 0;
    virtual bool playing() const = 0;

    // The next key typed, or Key::None when none is waiting; never waits.
    virtual Key key() = 0;
    // Waits until a key (or Small) is waiting, the clock reaches due_ms, or
    // the screen has been drawn again; returns at once when due_ms has passed.
    virtual void wait_key(int due_ms) = 0;
    // Drops what was typed before, shows `prompt` where the cursor stands
    // (unless the platform's own pause shows its own) and waits for one
    // key, which it consumes. Returns at the end of input too.
    virtual void pause(std::string_view prompt) = 0;
    // Reads the next number typed at a question, as "%d" reads it: ANSWER
    // with *v set, WRONG, or ENDED.
    virtual int read_int(int* v) = 0;

    // Milliseconds of real time since start, on a clock that never stops.
    virtual int now_ms() = 0;
    virtual void sleep_ms(int ms) = 0;
    // Calendar time, to seed the piece generator.
    virtual unsigned seed() = 0;

    // Size of the visible screen in columns and rows; false when unknown.
    virtual bool size(int* cols, int* rows) = 0;
    // Waits for a resize or a key (consumed), whichever comes first.
    // Returns true when a key (or the end of input) ended the wait.
    virtual bool wait_resize_or_key() = 0;

    // Ends the program: gives the terminal back, says why, exits.
    [[noreturn]] virtual void quit(int status, const char* why) = 0;
};

// For what is said before a console exists: writes to standard output, or
// error, in the encoding the terminal expects (unless `encode` is false:
// then the bytes are taken as the terminal's own, and a terminal that acts
// on control characters gets those escaped), without touching the terminal.
// False when the output could not be written.
bool say(bool error, std::string_view utf8, bool encode = true);
