// The platform on the Windows console, inside: what its files share.
// <windows.h> stays out of the game's own headers, so that its macros
// never meet the game's names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "console/painter.h"
#include "platform/platform.h"

inline HANDLE out_handle() { return GetStdHandle(STD_OUTPUT_HANDLE); }
// Whether a standard handle is a console rather than a file or pipe, or
// missing altogether.
bool is_console(HANDLE h);
bool missing(HANDLE h);
// Writes UTF-8 to a standard handle: as UTF-16 to a console, so the text
// shows whatever its code page, and as the bytes themselves elsewhere.
// False when it could not all be written.
bool write_out(DWORD which, const char* p, size_t n);

// Drawing through the console API: a call costs about as much as ten glyphs.
class WindowsPainter : public Painter {
public:
    void pen(int fore, int back) override;
    void pen_back(int back) override;
    void go(int col, int row) override;
    void put(std::string_view s) override;
    void erase(int n) override;
    void wipe() override;
    void erase_line() override;
    void show_cursor(bool visible) override;
    // The console's own scrolling is not used: each cell is set apart.
    bool scroll_down(int, int, int) override { return false; }
    // Erasing sets each cell's colours as told.
    bool erases_in(int) const override { return true; }
    bool try_begin() override { return false; }
    long try_end() override { return 0; }
    void screen(int, int, int glyph_width) override { amb_ = glyph_width; }
    void forget() override { attr_ = col_ = row_ = -1; }
    // Only printable ASCII reaches the line being typed here.
    int width_of(std::string_view) const override { return 1; }
    int cost_go(int col, int row) const override { return col == col_ && row == row_ ? 0 : 10; }
    int cost_pen(int fore, int back) const override { return (fore & 15) + 16 * (back & 15) == attr_ ? 0 : 10; }
    int cost_pen_back(int back) const override { return attr_ >= 0 && attr_ >> 4 == back ? 0 : 10; }
    int cost_put(char32_t) const override { return 1; }
    int cost_erase(int) const override { return 20; }

    // Writes the text drawn so far; false when it could not.
    bool send();

private:
    void fill(int n, bool row);

    std::string buf_;          // text not written yet, UTF-8
    int attr_ = -1;            // the attribute set last, -1 not known
    int col_ = -1, row_ = -1;  // where the cursor is, -1 not known
    int amb_ = 0;
};
