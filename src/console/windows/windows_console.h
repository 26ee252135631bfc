// The console on Windows: the console API for colour, cursor and waiting,
// the command interpreter for clearing and pausing, the runtime's keyboard
// functions for keys. <windows.h> stays in the .cpp so its macros never
// meet the game's names.
#pragma once

#include <string>

#include "console/columns.h"
#include "console/console.h"
#include "console/input.h"

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
    Key key() override;
    void wait_key(int due_ms) override;
    void pause(std::string_view prompt) override;
    int read_int(int* v) override;
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
    void type_line();
    void read_lines();

    std::string buf_;          // pending output, UTF-8
    Columns cols_;
    std::string in_;           // redirected input read and not used yet
    bool eof_ = false;
    Answers answers_;          // lines entered at the questions, not read yet
    Line line_;                // what is being typed at the question
    bool ended_ = false;       // the input has ended at a question
    long long start_ = 0;      // performance counter at start
    bool restored_ = false;
};
