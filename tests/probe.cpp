#include "probe.h"

#include <vterm.h>

#include <algorithm>
#include <cstdlib>

#include "console/ansi.h"
#include "console/utf8.h"

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

void Screen::feed(const char* p, size_t n)
{
    if (bce) {
        vterm_input_write(vt_, p, n);
        return;
    }
    // A terminal without background colour erase: everything that erases
    // or scrolls in a line does it in the default background. Each such
    // control is fed with the default background, the pen's put back after.
    std::string t;
    size_t from = 0; // where in t the control being read began (fed whole, as the test console feeds)
    for (size_t k = 0; k < n; k++) {
        const char c = p[k];
        bool erases = false;
        if (esc_ == 0 && c == '\x1b') {
            esc_ = 1;
            seq_.clear();
            from = t.size();
        } else if (esc_ == 1) {
            esc_ = c == '[' ? 2 : 0;
            erases = c == 'M' || c == 'D' || c == 'E';
        } else if (esc_ == 2) {
            if (c >= 0x40 && c <= 0x7e) {
                esc_ = 0;
                if (c == 'm')
                    pen_bg(seq_);
                erases = std::string("JKXLMST@P").find(c) != std::string::npos;
            } else {
                seq_ += c;
            }
        } else if (c == '\n') {
            erases = true;
            from = t.size();
        }
        t += c;
        if (erases) {
            t.insert(std::min(from, t.size() - 1), "\x1b[49m");
            t += bg_;
        }
    }
    vterm_input_write(vt_, t.data(), t.size());
}

// The background the pen is left with by an SGR with parameters `params`.
void Screen::pen_bg(const std::string& params)
{
    size_t k = 0;
    do {
        const size_t end = params.find(';', k);
        const std::string p = params.substr(k, end == std::string::npos ? std::string::npos : end - k);
        const int v = p.empty() ? 0 : std::atoi(p.c_str());
        if (v == 0 || v == 49)
            bg_.clear();
        else if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107))
            bg_ = "\x1b[" + std::to_string(v) + "m";
        k = end == std::string::npos ? end : end + 1;
    } while (k != std::string::npos);
}

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
            utf8_put(out.ch, c.chars[k]);
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
                utf8_put(s, c.chars[k]);
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
