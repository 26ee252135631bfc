#include "probe.h"

#include <vterm.h>

#include <cstdlib>
#include <cstring>

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

namespace {

// A JSON value, as much of it as a recording needs.
struct Json {
    enum Kind { Null, Bool, Num, Str, Arr, Obj } kind = Null;
    double num = 0;
    std::string str;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> fields;
    const Json* field(const char* name) const
    {
        for (const auto& f : fields)
            if (f.first == name)
                return &f.second;
        return nullptr;
    }
};

// Strict JSON: false at the first thing the grammar does not allow.
class JsonParser {
public:
    explicit JsonParser(const std::string& s) : s_(s) {}
    bool whole(Json& v)
    {
        return value(v, 0) && (space(), k_ == s_.size());
    }

private:
    void space()
    {
        while (k_ < s_.size() && std::strchr(" \t\r\n", s_[k_]) && s_[k_] != '\0')
            k_++;
    }
    bool take(char c)
    {
        space();
        if (k_ < s_.size() && s_[k_] == c) {
            k_++;
            return true;
        }
        return false;
    }
    bool word(const char* w)
    {
        const size_t n = std::strlen(w);
        if (s_.compare(k_, n, w) != 0)
            return false;
        k_ += n;
        return true;
    }
    static bool digit(char c) { return c >= '0' && c <= '9'; }
    bool number(double& d)
    {
        const size_t from = k_;
        if (k_ < s_.size() && s_[k_] == '-')
            k_++;
        if (k_ < s_.size() && s_[k_] == '0')
            k_++;
        else if (k_ < s_.size() && digit(s_[k_]))
            while (k_ < s_.size() && digit(s_[k_]))
                k_++;
        else
            return false;
        auto digits = [&] {
            const size_t at = k_;
            while (k_ < s_.size() && digit(s_[k_]))
                k_++;
            return k_ > at;
        };
        if (k_ < s_.size() && s_[k_] == '.' && (++k_, !digits()))
            return false;
        if (k_ < s_.size() && (s_[k_] == 'e' || s_[k_] == 'E')) {
            k_++;
            if (k_ < s_.size() && (s_[k_] == '+' || s_[k_] == '-'))
                k_++;
            if (!digits())
                return false;
        }
        d = std::strtod(s_.substr(from, k_ - from).c_str(), nullptr);
        return true;
    }
    bool hex4(unsigned& u)
    {
        if (k_ + 4 > s_.size())
            return false;
        u = 0;
        for (int i = 0; i < 4; i++) {
            const char c = s_[k_++];
            const int h = digit(c) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (h < 0)
                return false;
            u = u * 16 + static_cast<unsigned>(h);
        }
        return true;
    }
    bool string(std::string& out)
    {
        if (!take('"'))
            return false;
        while (k_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[k_]);
            if (c == '"') {
                k_++;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c != '\\') {
                const int n = utf8_len(reinterpret_cast<const unsigned char*>(s_.data()) + k_, s_.size() - k_);
                if (n <= 0)
                    return false;
                out.append(s_, k_, static_cast<size_t>(n));
                k_ += static_cast<size_t>(n);
                continue;
            }
            if (++k_ >= s_.size())
                return false;
            const char e = s_[k_++];
            const char* from = "\"\\/bfnrt";
            const char* to = "\"\\/\b\f\n\r\t";
            if (const char* at = e ? std::strchr(from, e) : nullptr) {
                out += to[at - from];
                continue;
            }
            unsigned u = 0, lo = 0;
            if (e != 'u' || !hex4(u))
                return false;
            if (u >= 0xd800 && u < 0xdc00) {
                if (!word("\\u") || !hex4(lo) || lo < 0xdc00 || lo >= 0xe000)
                    return false;
                u = 0x10000 + ((u - 0xd800) << 10) + (lo - 0xdc00);
            } else if (u >= 0xdc00 && u < 0xe000) {
                return false;
            }
            put_utf8(out, u);
        }
        return false;
    }
    bool value(Json& v, int depth)
    {
        space();
        if (depth > 16 || k_ >= s_.size())
            return false;
        const char c = s_[k_];
        if (c == '"') {
            v.kind = Json::Str;
            return string(v.str);
        }
        if (c == '[' || c == '{') {
            const bool arr = c == '[';
            v.kind = arr ? Json::Arr : Json::Obj;
            k_++;
            if (take(arr ? ']' : '}'))
                return true;
            do {
                Json item;
                std::string name;
                if (!arr && !(string(name) && take(':')))
                    return false;
                if (!value(item, depth + 1))
                    return false;
                if (arr)
                    v.items.push_back(std::move(item));
                else
                    v.fields.emplace_back(name, std::move(item));
            } while (take(','));
            return take(arr ? ']' : '}');
        }
        if (word("true") || word("false")) {
            v.kind = Json::Bool;
            return true;
        }
        if (word("null"))
            return true;
        v.kind = Json::Num;
        return number(v.num);
    }

    const std::string& s_;
    size_t k_ = 0;
};

} // namespace

CastFile read_cast(const std::string& bytes)
{
    CastFile c;
    size_t at = 0;
    for (int line = 1; at < bytes.size(); line++) {
        const size_t nl = bytes.find('\n', at);
        const std::string text = bytes.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        at = nl == std::string::npos ? bytes.size() : nl + 1;
        Json v;
        const std::string where = "line " + std::to_string(line) + ": ";
        if (nl == std::string::npos) {
            c.fault = where + "no line break at its end";
            return c;
        }
        if (!JsonParser(text).whole(v)) {
            c.fault = where + "not JSON: " + text.substr(0, 80);
            return c;
        }
        if (line == 1) {
            auto num = [&](const char* name, double* d) {
                const Json* f = v.field(name);
                if (f && f->kind == Json::Num)
                    *d = f->num;
            };
            if (v.kind != Json::Obj) {
                c.fault = where + "the header is no object";
                return c;
            }
            num("version", &c.version);
            num("width", &c.width);
            num("height", &c.height);
            num("timestamp", &c.timestamp);
            if (const Json* t = v.field("title"))
                c.title = t->str;
            const Json* env = v.field("env");
            if (const Json* term = env ? env->field("TERM") : nullptr)
                c.term = term->str;
            continue;
        }
        if (v.kind != Json::Arr || v.items.size() != 3 || v.items[0].kind != Json::Num ||
            v.items[1].kind != Json::Str || v.items[1].str != "o" || v.items[2].kind != Json::Str) {
            c.fault = where + "not an output event: " + text.substr(0, 80);
            return c;
        }
        if (!c.events.empty() && v.items[0].num < c.events.back().first) {
            c.fault = where + "its time is before the last";
            return c;
        }
        c.events.emplace_back(v.items[0].num, v.items[2].str);
    }
    if (c.fault.empty() && bytes.empty())
        c.fault = "no header";
    return c;
}
