// The console on Windows: the console API for colour, cursor and waiting,
// the command interpreter for clearing and pausing, the runtime's keyboard
// functions for keys, which are handed to the shared key queue and line
// editor as the bytes a terminal would send. <windows.h> stays in the .cpp
// so its macros never meet the game's names.
#pragma once

#include <string>

#include "console/base.h"

class WindowsConsole : public BaseConsole {
public:
    WindowsConsole();
    ~WindowsConsole() override;
    WindowsConsole(const WindowsConsole&) = delete;
    WindowsConsole& operator=(const WindowsConsole&) = delete;

    void play(int cols, int rows) override;
    void pause(std::string_view prompt) override;
    bool wait_resize_or_key() override;
    int now_ms() override;
    void sleep_ms(int ms) override;
    unsigned seed() override;
    bool size(int* cols, int* rows) override;
    [[noreturn]] void quit(int status, const char* why) override;

    // Gives the console back as it was found; idempotent.
    void restore();

protected:
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
    void fill() override;
    void block(int due_ms) override;
    bool lost() override;
    void forget() override;

private:
    void keys();
    bool resized();

    std::string buf_;        // text not written yet, UTF-8
    int attr_ = -1;          // the attribute set last, -1 not known
    int col_ = -1, row_ = -1; // where the cursor is, -1 not known
    bool console_in_ = false; // standard input is the console
    int wcols_ = 0, wrows_ = 0; // the window's size when last looked at
    long long start_ = 0;    // performance counter at start
    bool restored_ = false;
};
