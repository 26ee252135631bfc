#include "probe.h"

#include <vterm.h>

#include "console/ansi.h"

namespace {

int settermprop(VTermProp prop, VTermValue* val, void* user)
{
    auto* s = static_cast<Screen*>(user);
    if (prop == VTERM_PROP_CURSORVISIBLE)
        s->cursor_visible_ = val->boolean;
    else if (prop == VTERM_PROP_ALTSCREEN)
        s->alt_ = val->boolean;
    return 1;
}

int damage(VTermRect r, void* user)
{
    auto* s = static_cast<Screen*>(user);
    if (s->on_damage)
        s->on_damage(r.start_row, r.end_row, r.start_col, r.end_col);
    return 1;
}

VTermScreenCallbacks callbacks()
{
    VTermScreenCallbacks cb = {};
    cb.settermprop = settermprop;
    cb.damage = damage;
    return cb;
}

const VTermScreenCallbacks CB = callbacks();

void output(const char* s, size_t len, void* user) { static_cast<Screen*>(user)->replies.append(s, len); }

void put_utf8(std::string& s, uint32_t c)
{
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xc0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xe0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        s += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        s += static_cast<char>(0xf0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        s += static_cast<char>(0x80 | (c & 0x3f));
    }
}

int colour(const VTermColor& c, bool fg)
{
    if (fg ? VTERM_COLOR_IS_DEFAULT_FG(&c) : VTERM_COLOR_IS_DEFAULT_BG(&c))
        return -1;
    if (VTERM_COLOR_IS_INDEXED(&c))
        return c.indexed.idx < 16 ? console_colour(c.indexed.idx) : 100 + c.indexed.idx;
    return -2; // an RGB colour: the game never sends one
}

} // namespace

int console_colour(int ansi_index) { return ansi_colour(ansi_index); }

Screen::Screen(int cols, int rows) : cols_(cols), rows_(rows)
{
    vt_ = vterm_new(rows, cols);
    vterm_set_utf8(vt_, 1);
    vs_ = vterm_obtain_screen(vt_);
    vterm_screen_enable_altscreen(vs_, 1);
    vterm_screen_set_callbacks(vs_, &CB, this);
    vterm_screen_reset(vs_, 1);
    vterm_output_set_callback(vt_, output, this);
}

Screen::~Screen() { vterm_free(vt_); }

void Screen::feed(const char* p, size_t n) { vterm_input_write(vt_, p, n); }

void Screen::feed_tty(const std::string& s)
{
    std::string t;
    t.reserve(s.size() + 64);
    for (char c : s) {
        if (c == '\n')
            t += '\r';
        t += c;
    }
    feed(t);
}

void Screen::resize(int cols, int rows)
{
    cols_ = cols;
    rows_ = rows;
    vterm_set_size(vt_, rows, cols);
}

Cell Screen::cell(int col, int row) const
{
    VTermScreenCell c;
    VTermPos pos{row, col};
    Cell out{" ", -1, -1};
    if (!vterm_screen_get_cell(vs_, pos, &c))
        return out;
    out.width = c.chars[0] == static_cast<uint32_t>(-1) ? 0 : c.width;
    if (c.chars[0] != 0 && c.chars[0] != static_cast<uint32_t>(-1)) {
        out.ch.clear();
        for (int k = 0; k < VTERM_MAX_CHARS_PER_CELL && c.chars[k]; k++)
            put_utf8(out.ch, c.chars[k]);
    }
    out.fg = colour(c.fg, true);
    out.bg = colour(c.bg, false);
    return out;
}

int Screen::palette(int col, int row) const
{
    VTermScreenCell c;
    VTermPos pos{row, col};
    if (!vterm_screen_get_cell(vs_, pos, &c) || !VTERM_COLOR_IS_INDEXED(&c.fg))
        return -1;
    return c.fg.indexed.idx;
}

int Screen::glyph(int col, int row) const
{
    const Cell c = cell(col, row);
    return c.ch == "■" ? c.fg : -1;
}

std::string Screen::row(int r, int col) const
{
    std::string s;
    for (int x = col; x < cols_; x++) {
        VTermScreenCell c;
        VTermPos pos{r, x};
        vterm_screen_get_cell(vs_, pos, &c);
        if (c.chars[0] == static_cast<uint32_t>(-1))
            continue;
        if (c.chars[0] == 0) {
            s += ' ';
        } else {
            for (int k = 0; k < VTERM_MAX_CHARS_PER_CELL && c.chars[k]; k++)
                put_utf8(s, c.chars[k]);
            if (c.width > 1)
                x += c.width - 1;
        }
    }
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::string Screen::text() const
{
    std::string s;
    for (int r = 0; r < rows_; r++) {
        s += row(r);
        s += '\n';
    }
    return s;
}

int Screen::find_row(const std::string& s) const
{
    for (int r = 0; r < rows_; r++)
        if (row(r).find(s) != std::string::npos)
            return r;
    return -1;
}

bool Screen::pen_default() const
{
    VTermState* st = vterm_obtain_state(vt_);
    VTermValue fg, bg;
    vterm_state_get_penattr(st, VTERM_ATTR_FOREGROUND, &fg);
    vterm_state_get_penattr(st, VTERM_ATTR_BACKGROUND, &bg);
    return VTERM_COLOR_IS_DEFAULT_FG(&fg.color) && VTERM_COLOR_IS_DEFAULT_BG(&bg.color);
}

int Screen::cursor_col() const
{
    VTermPos p;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &p);
    return p.col;
}

int Screen::cursor_row() const
{
    VTermPos p;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &p);
    return p.row;
}
