// The console on Windows: the console API for colour, cursor and waiting,
// the command interpreter for clearing and pausing, the runtime's keyboard
// functions for keys. <windows.h> stays in the .cpp so its macros never
// meet the game's names.
#pragma once

#include <string>

#include "console/columns.h"
#include "console/console.h"

class WindowsConsole : public Console {
public:
    WindowsConsole();
    ~WindowsConsole() override;
    WindowsConsole(const WindowsConsole&) = delete;
    WindowsConsole& operator=(const WindowsConsole&) = delete;

    void attr(int fore, int back) override;
    void cursor(bool visible) override;
    void move(int col, int row) override;
    void clear() override;
    void text(std::string_view utf8) override;
    void flush() override;
    void pause() override;
    int read_int(int* v) override;
    bool kbhit() override;
    int getch() override;
    void wait_key(int due_ms) override;
    int now_ms() override;
    void sleep_ms(int ms) override;
    unsigned seed() override;
    bool size(int* cols, int* rows) override;
    bool wait_resize_or_key() override;
    [[noreturn]] void quit(int status, const char* why) override;

    // Gives the console back as it was found; idempotent.
    void restore();

private:
    void realign();
    void fill();

    std::string buf_;          // pending output, UTF-8
    Columns cols_;
    std::string in_;           // prompt input read and not yet used
    bool eof_ = false;
    bool keys_ = false;        // keys were read since the last prompt
    long long start_ = 0;      // performance counter at start
    bool restored_ = false;
};
