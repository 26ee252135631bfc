#include "console/ansi.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

constexpr int ESC_WAIT_MS = 30;   // for the rest of a key sequence split in two
constexpr size_t MAX_SHOWN = 500; // lines of a question's screen kept to redraw it

} // namespace

Encoder::Encoder(const char* codeset) : cd_(reinterpret_cast<iconv_t>(-1))
{
    if (!codeset)
        return;
    for (const char* gb : {"GBK", "GB18030", "GB2312"})
        if (strcasecmp(codeset, gb) == 0)
            cd_ = iconv_open(gb, "UTF-8");
}

Encoder::~Encoder()
{
    if (converting())
        iconv_close(cd_);
}

void Encoder::append(std::string& dst, const char* p, size_t n)
{
    if (!converting()) {
        dst.append(p, n);
        return;
    }
    char tmp[1024];
    char* in = const_cast<char*>(p);
    size_t left = n;
    while (left > 0) {
        char* o = tmp;
        size_t room = sizeof tmp;
        size_t r = iconv(cd_, &in, &left, &o, &room);
        dst.append(tmp, static_cast<size_t>(o - tmp));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Not representable or broken: show a '?' and skip one byte.
            dst.push_back('?');
            in++;
            left--;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

std::string AnsiConsole::sgr(int fore, int back)
{
    const int f = ansi_colour(fore & 15), b = ansi_colour(back & 15);
    char s[32];
    std::snprintf(s, sizeof s, "\x1b[0;%d;%dm", (f & 8 ? 90 : 30) + (f & 7), (b & 8 ? 100 : 40) + (b & 7));
    return s;
}

// ---- Output ---------------------------------------------------------------

void AnsiConsole::put(std::string_view s)
{
    const size_t at = buf_.size();
    buf_.append(s.data(), s.size());
    keep(at);
}

// At a question, what was output from buf_[at] on is also kept, line by
// line, to draw the question's screen again.
void AnsiConsole::keep(size_t at)
{
    if (redraw || echoing_)
        return;
    size_t from = at;
    for (size_t nl; (nl = buf_.find('\n', from)) != std::string::npos; from = nl + 1) {
        shown_.back().append(buf_, from, nl - from);
        shown_.push_back(attr_ >= 0 ? sgr(attr_ & 15, attr_ >> 4) : "");
    }
    shown_.back().append(buf_, from, std::string::npos);
    while (shown_.size() > MAX_SHOWN)
        shown_.pop_front();
}

void AnsiConsole::attr(int fore, int back)
{
    int a = (fore & 15) + 16 * (back & 15);
    if (a == attr_)
        return;
    attr_ = a;
    put(sgr(fore & 15, back & 15));
}

void AnsiConsole::cursor(bool visible)
{
    hidden_ = !visible;
    put(visible ? "\x1b[?25h" : "\x1b[?25l");
}

void AnsiConsole::move(int col, int row)
{
    char s[32];
    std::snprintf(s, sizeof s, "\x1b[%d;%dH", row + 1, col + 1);
    put(s);
    cols_.at(col);
    row_ = row;
}

void AnsiConsole::clear()
{
    // Erasing paints with the current background, which must be black.
    if (attr_ < 0 || attr_ >= 16)
        attr(7, 0);
    buf_ += "\x1b[2J\x1b[H";
    cols_.at(0);
    row_ = 0;
    shown_.assign(1, sgr(attr_ & 15, attr_ >> 4));
}

void AnsiConsole::text(std::string_view s)
{
    const size_t at = buf_.size();
    size_t from = 0;
    for (size_t k = 0; k < s.size();) {
        if (cols_.realign_before(s[k])) {
            enc_.append(buf_, s.data() + from, k - from);
            from = k;
            char cha[16];
            std::snprintf(cha, sizeof cha, "\x1b[%dG", cols_.col + 1);
            buf_ += cha;
        }
        k += cols_.advance(s, k);
    }
    enc_.append(buf_, s.data() + from, s.size() - from);
    keep(at);
}

void AnsiConsole::flush()
{
    if (buf_.empty())
        return;
    emit(buf_.data(), buf_.size());
    buf_.clear();
}

// ---- Input ----------------------------------------------------------------

// Draws the screen again when the terminal lost it: the game's screen
// through `redraw`, a question's from what it showed.
bool AnsiConsole::serve()
{
    if (!lost())
        return false;
    forget();
    if (redraw) {
        redraw();
        if (!pause_.empty()) {
            move(0, pause_row_);
            if (pause_attr_ >= 0)
                attr(pause_attr_ & 15, pause_attr_ >> 4);
            text(pause_);
        }
    } else {
        replay();
    }
    flush();
    return true;
}

void AnsiConsole::replay()
{
    const int a = attr_ >= 0 ? attr_ : 7;
    echoing_ = true;
    buf_ += sgr(7, 0) + "\x1b[2J\x1b[H";
    if (hidden_)
        buf_ += "\x1b[?25l";
    int cols = 0, rows = 0;
    size_t from = 0;
    if (size(&cols, &rows) && static_cast<size_t>(rows) < shown_.size())
        from = shown_.size() - static_cast<size_t>(rows);
    for (size_t k = from; k < shown_.size(); k++) {
        if (k > from)
            buf_ += '\n';
        buf_ += shown_[k];
    }
    buf_ += sgr(a & 15, a >> 4);
    attr_ = a;
    cols_.at(-1);
    text(line_.text());
    echoing_ = false;
}

// The first key in in_, or Key::None while in_ holds nothing or the start
// of a key whose rest may still come.
KeyRead AnsiConsole::first_key()
{
    const bool final = eof_ || (partial_since_ >= 0 && now_ms() - partial_since_ >= ESC_WAIT_MS);
    const KeyRead k = decode_key(reinterpret_cast<const unsigned char*>(in_.data()), in_.size(), final);
    if (k.key != Key::None)
        partial_since_ = -1;
    else if (!in_.empty() && partial_since_ < 0)
        partial_since_ = now_ms();
    return k;
}

// The first key, taken out of in_ when `take`.
Key AnsiConsole::next_key(bool take)
{
    const KeyRead k = first_key();
    if (take)
        in_.erase(0, k.used);
    return k.key;
}

int AnsiConsole::due_partial() const { return partial_since_ < 0 ? -1 : partial_since_ + ESC_WAIT_MS; }

Key AnsiConsole::key()
{
    serve();
    flush();
    fill();
    return next_key(true);
}

void AnsiConsole::wait_key(int due_ms)
{
    serve();
    flush();
    fill();
    if (next_key(false) != Key::None)
        return;
    const int partial = due_partial();
    if (partial >= 0 && partial < due_ms)
        due_ms = partial;
    if (due_ms > now_ms())
        block(due_ms);
    serve();
}

void AnsiConsole::pause(std::string_view prompt)
{
    // Keys typed before the pause do not end it. They go before the prompt
    // shows, so that a key pressed in answer to it cannot go with them.
    fill();
    in_.clear();
    partial_since_ = -1;
    pause_ = prompt;
    pause_row_ = row_;
    pause_attr_ = attr_;
    text(prompt);
    for (;;) {
        serve();
        flush();
        fill();
        if (next_key(true) != Key::None || (eof_ && in_.empty()))
            break;
        block(due_partial());
    }
    pause_.clear();
}

bool AnsiConsole::wait_resize_or_key()
{
    for (;;) {
        if (lost()) {
            forget();
            return false;
        }
        flush();
        fill();
        if (next_key(true) != Key::None || (eof_ && in_.empty()))
            return true;
        block(due_partial());
    }
}

int AnsiConsole::read_int(int* v)
{
    flush();
    asking_ = true;
    int r;
    for (;;) {
        serve();
        r = answers_.next(v);
        if (r != Answers::NONE)
            break;
        if (ended_) {
            r = ENDED;
            break;
        }
        fill();
        if (take_line() || ended_)
            continue;
        flush();
        block(due_partial());
    }
    asking_ = false;
    return r;
}

// Moves what was typed from in_ to the line being typed, until a line is
// entered (true) or nothing more is there (false).
bool AnsiConsole::take_line()
{
    if (!edit_) {
        // Piped answers: lines as they come, no echo, no editing.
        if (answers_.take(in_, eof_))
            return true;
        ended_ = eof_;
        return false;
    }
    for (;;) {
        const KeyRead k = first_key();
        if (k.key == Key::None) {
            if (!in_.empty() || !eof_)
                return false;
            // The end of input enters what was typed, then ends it.
            if (line_.empty()) {
                ended_ = true;
                return false;
            }
            enter();
            return true;
        }
        const std::string bytes = in_.substr(0, k.used);
        in_.erase(0, k.used);
        const unsigned char b = static_cast<unsigned char>(bytes[0]);
        if (b == '\r' || b == '\n') {
            enter();
            return true;
        }
        if (b == 0x04 && line_.empty()) {
            ended_ = true;
            return false;
        }
        edit(bytes);
    }
}

// One key typed at a question: printable characters are taken and shown,
// Backspace and Ctrl-U erase, everything else does nothing.
void AnsiConsole::edit(const std::string& bytes)
{
    const unsigned char b = static_cast<unsigned char>(bytes[0]);
    if (b == 0x7f || b == 0x08) {
        if (line_.erase())
            show_line();
        return;
    }
    if (b == 0x15) {
        if (!line_.empty()) {
            line_.clear();
            show_line();
        }
        return;
    }
    // Escape sequences, control characters, broken UTF-8.
    if (b < 0x20 || b == 0x7f || (b >= 0x80 && bytes.size() == 1))
        return;
    int cols = 0, rows = 0;
    const int room = size(&cols, &rows) && cols > 1 ? cols - 1 : 79;
    if (line_.add(bytes, room)) {
        echoing_ = true;
        text(bytes);
        echoing_ = false;
    }
}

// Writes the line being typed again, from the start of its row.
void AnsiConsole::show_line()
{
    echoing_ = true;
    text("\r");
    buf_ += "\x1b[K";
    text(line_.text());
    echoing_ = false;
}

// The typed line is entered: it stays on screen, and in what the question
// shows, followed by a new line.
void AnsiConsole::enter()
{
    answers_.add(line_.text());
    if (!redraw) {
        std::string enc;
        enc_.append(enc, line_.text().data(), line_.text().size());
        shown_.back() += enc;
    }
    line_.clear();
    text("\n");
}
