// The one door between the game and the platform. Game code talks to the
// console only through the five operations at the bottom and out(); each
// platform (POSIX terminal, Windows console, the test double) implements
// the Console class.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define PRINTF_LIKE(a, b) __attribute__((format(printf, a, b)))
#else
#define PRINTF_LIKE(a, b)
#endif

class Console {
public:
    virtual ~Console() = default;

    // Output. Everything is buffered until flush(); every wait flushes first.
    virtual void attr(int fore, int back) = 0;
    virtual void cursor(bool visible) = 0;
    virtual void move(int col, int row) = 0;
    virtual void clear() = 0;
    virtual void text(std::string_view utf8) = 0;
    virtual void flush() = 0;

    // Prints the pause prompt where the cursor stands and waits for one key;
    // keys typed before the call do not count.
    virtual void pause() = 0;
    // Reads the next whitespace-separated decimal integer at a prompt.
    // Returns 1 with *v set, 0 for an unusable entry (already discarded),
    // and does not return at end of input.
    virtual int read_int(int* v) = 0;

    // Keyboard in play: codes as the platform's own console gives them
    // (space 32; arrows as 224 then 72/75/77/80).
    virtual bool kbhit() = 0;
    virtual int getch() = 0;
    // Blocks until a key is waiting, the clock reaches due_ms, or the screen
    // needs drawing again; returns at once when due_ms has passed.
    virtual void wait_key(int due_ms) = 0;

    // Milliseconds of real time since start, on a clock that never stops.
    virtual int now_ms() = 0;
    virtual void sleep_ms(int ms) = 0;
    // Calendar time, used to seed the piece generator.
    virtual unsigned seed() = 0;

    // Size of the visible screen in columns and rows; false when unknown.
    virtual bool size(int* cols, int* rows) = 0;
    // Waits for a resize or a key (consumed), whichever comes first.
    // Returns true when a key (or the end of input) ended the wait.
    virtual bool wait_resize_or_key() = 0;

    // Ends the program: restores the terminal, reports why, exits.
    [[noreturn]] virtual void quit(int status, const char* why) = 0;

    // Called when the screen was lost (resize, resume after suspend) while
    // the game screen is up; null at prompts.
    void (*redraw)() = nullptr;
};

// The console in use; set once by the entry point (or a test).
extern Console* con;

// Sets foreground and background colour, console numbering (1 blue, 4 red).
void set_color(int fore, int back);
// Shows or hides the cursor.
void set_cursor(int visible);
// Moves the cursor to board cell (x, y): console column 2x, row y.
void set_cocate(int x, int y);
// 1 clears the screen, 2 pauses below the well; anything else is ignored.
void command(int type);
// Prompts until an integer in [low, high] is typed and returns it.
int input_int(int low, int high);
// Formatted text at the cursor, in the colour in force.
void out(const char* fmt, ...) PRINTF_LIKE(1, 2);
