#include "console/base.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int ESC_WAIT_MS = 30;        // for the rest of a key sequence split in two
constexpr size_t MAX_SHOWN = 500;      // lines of a question's screen kept to redraw it
constexpr size_t IN_CAP = 4096;        // bytes read ahead of what is used
constexpr size_t DROP_MAX = 1 << 20;   // a piped line longer than this can answer nothing
constexpr char MARK = '\x01';          // in shown_: the next byte is the colours from here on

} // namespace

BaseConsole::~BaseConsole() = default;

// ---- Output ---------------------------------------------------------------

void BaseConsole::attr(int fore, int back)
{
    const int a = (fore & 15) + 16 * (back & 15);
    if (playing_) {
        frame_.attr(fore, back);
        attr_ = a;
        return;
    }
    if (a == attr_)
        return;
    attr_ = a;
    if (!echoing_)
        mark();
}

void BaseConsole::cursor(bool visible)
{
    hidden_ = !visible;
    show_cursor(visible);
}

void BaseConsole::move(int col, int row)
{
    if (playing_) {
        frame_.move(col, row);
        return;
    }
    go(col, row);
    cols_.at(col);
}

void BaseConsole::clear()
{
    if (playing_) {
        frame_.clear();
        return;
    }
    // Erasing paints with the background in force, which must be black.
    if (attr_ >= 16)
        attr(7, 0);
    pen_back(0);
    wipe();
    cols_.at(0);
    shown_.clear();
    shown_.emplace_back();
    mark();
}

void BaseConsole::text(std::string_view s)
{
    if (playing_) {
        frame_.text(s);
        return;
    }
    emit_text(s);
    if (!echoing_)
        keep(s);
}

// Text where the cursor stands, in the colours in force; text that follows
// an ambiguous glyph on its line is put back where the layout wants it.
void BaseConsole::emit_text(std::string_view s)
{
    pen(attr_ & 15, attr_ >> 4);
    size_t from = 0;
    for (size_t k = 0; k < s.size();) {
        if (cols_.realign_before(s[k])) {
            put(s.substr(from, k - from));
            from = k;
            go(cols_.col, -1);
        }
        k += cols_.advance(s, k);
    }
    put(s.substr(from));
}

// At a question, what was output is also kept, line by line, to draw the
// question's screen again.
void BaseConsole::keep(std::string_view s)
{
    for (size_t nl; (nl = s.find('\n')) != std::string_view::npos; s.remove_prefix(nl + 1)) {
        shown_.back().append(s.data(), nl);
        shown_.emplace_back();
        mark();
    }
    shown_.back().append(s.data(), s.size());
    while (shown_.size() > MAX_SHOWN)
        shown_.pop_front();
}

void BaseConsole::mark()
{
    shown_.back() += MARK;
    shown_.back() += static_cast<char>(attr_);
}

void BaseConsole::flush()
{
    if (playing_) {
        if (tcols_ == 0)
            measure();
        frame_.send(*this, tcols_, trows_, amb_);
    }
    send();
}

void BaseConsole::play(int cols, int rows)
{
    need_cols_ = cols;
    need_rows_ = rows;
    // Room for a score of many digits right of the side panel.
    if (frame_.cols() != cols + 14 || frame_.rows() != rows)
        frame_.resize(cols + 14, rows);
    frame_.lose();
    frame_.attr(attr_ & 15, attr_ >> 4);
    playing_ = true;
    small_ = false;
    measure();
}

void BaseConsole::ask()
{
    playing_ = false;
    small_ = false;
    forget();
}

void BaseConsole::hand_over()
{
    flush();
    go(frame_.cursor_col(), frame_.cursor_row());
    pen(attr_ & 15, attr_ >> 4);
    frame_.lose_row(frame_.cursor_row());
}

void BaseConsole::measure()
{
    if (!size(&tcols_, &trows_)) {
        // Not a terminal: as wide and tall as the picture.
        tcols_ = std::max(frame_.cols(), 80);
        trows_ = std::max(frame_.rows(), 24);
    }
}

void BaseConsole::forget() { cols_.at(-1); }

// ---- Input ----------------------------------------------------------------

size_t BaseConsole::room() const { return in_.size() < IN_CAP ? IN_CAP - in_.size() : 0; }

void BaseConsole::pull()
{
    fill();
    if (probing_)
        answer();
}

// Takes the terminal's report of where "■" left the cursor out of the
// typed bytes: column 2 means it is drawn one column wide, 3 two.
void BaseConsole::answer()
{
    static const char HEAD[] = "\x1b[3;";
    for (size_t at = in_.find(HEAD); at != std::string::npos; at = in_.find(HEAD, at + 1)) {
        size_t k = at + sizeof HEAD - 1, d = k;
        while (d < in_.size() && d - k < 4 && in_[d] >= '0' && in_[d] <= '9')
            d++;
        if (d == k || d >= in_.size() || in_[d] != 'R')
            continue;
        const int col = std::atoi(in_.c_str() + k);
        in_.erase(at, d + 1 - at);
        probing_ = false;
        amb_ = col == 2 ? 1 : col == 3 ? 2 : 0;
        // Drawn so far for a width not known: drawn again for the one known.
        frame_.lose();
        return;
    }
}

// Draws the screen again when the terminal lost it: the picture in play,
// what the question showed otherwise.
bool BaseConsole::serve()
{
    if (!lost())
        return false;
    forget();
    measure();
    if (playing_) {
        small_ = tcols_ < need_cols_ || trows_ < need_rows_;
        frame_.lose();
    } else {
        replay();
    }
    flush();
    return true;
}

void BaseConsole::replay()
{
    echoing_ = true;
    pen_back(0);
    wipe();
    show_cursor(!hidden_);
    size_t from = 0;
    if (trows_ > 0 && static_cast<size_t>(trows_) < shown_.size())
        from = shown_.size() - static_cast<size_t>(trows_);
    const int a = attr_;
    attr_ = 7; // what the screen was first written in
    for (size_t k = from; k < shown_.size(); k++) {
        if (k > from)
            emit_text("\n");
        const std::string& line = shown_[k];
        size_t text = 0;
        for (size_t m; (m = line.find(MARK, text)) != std::string::npos && m + 1 < line.size(); text = m + 2) {
            emit_text(std::string_view(line).substr(text, m - text));
            attr_ = static_cast<unsigned char>(line[m + 1]);
        }
        emit_text(std::string_view(line).substr(text));
    }
    attr_ = a;
    cols_.at(-1);
    show_line();
    echoing_ = false;
}

// The first key in in_, or Key::None while in_ holds nothing or the start
// of a key whose rest may still come.
KeyRead BaseConsole::first_key()
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
Key BaseConsole::next_key(bool take)
{
    const KeyRead k = first_key();
    if (take)
        in_.erase(0, k.used);
    return k.key;
}

int BaseConsole::due_partial() const { return partial_since_ < 0 ? -1 : partial_since_ + ESC_WAIT_MS; }

Key BaseConsole::key()
{
    serve();
    flush();
    if (small_) {
        small_ = false;
        return Key::Small;
    }
    pull();
    return next_key(true);
}

void BaseConsole::wait_key(int due_ms)
{
    serve();
    flush();
    if (small_)
        return;
    pull();
    if (next_key(false) != Key::None)
        return;
    const int partial = due_partial();
    if (partial >= 0 && partial < due_ms)
        due_ms = partial;
    if (due_ms > now_ms())
        block(due_ms);
    serve();
}

void BaseConsole::pause(std::string_view prompt)
{
    // Keys typed before the pause do not end it. They go before the prompt
    // shows, so that a key pressed in answer to it cannot go with them.
    pull();
    in_.clear();
    partial_since_ = -1;
    text(prompt);
    for (;;) {
        serve();
        flush();
        pull();
        if (next_key(true) != Key::None || (eof_ && in_.empty()))
            break;
        block(due_partial());
    }
}

bool BaseConsole::wait_resize_or_key()
{
    for (;;) {
        if (lost()) {
            forget();
            measure();
            return false;
        }
        flush();
        pull();
        if (next_key(true) != Key::None || (eof_ && in_.empty()))
            return true;
        block(due_partial());
    }
}

int BaseConsole::read_int(int* v)
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
        pull();
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
bool BaseConsole::take_line()
{
    if (!edit_)
        return take_piped();
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

// Piped answers: lines as they come, no echo, no editing. A line longer
// than what is read ahead is one wrong entry, and the rest of it is
// dropped as it comes; one that runs on without end answers nothing.
bool BaseConsole::take_piped()
{
    if (dropping_) {
        const size_t nl = in_.find('\n');
        dropped_ += nl == std::string::npos ? in_.size() : nl + 1;
        in_.erase(0, nl == std::string::npos ? in_.size() : nl + 1);
        if (nl == std::string::npos) {
            ended_ = eof_ || dropped_ > DROP_MAX;
            return false;
        }
        dropping_ = false;
    }
    if (answers_.take(in_, eof_))
        return true;
    if (room() == 0) {
        answers_.add_wrong();
        in_.clear();
        dropping_ = true;
        dropped_ = 0;
        return true;
    }
    ended_ = eof_;
    return false;
}

// One key typed at a question: printable characters are taken and shown,
// Tab as a blank; Backspace and Ctrl-U erase; everything else does nothing.
void BaseConsole::edit(const std::string& bytes)
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
    const std::string ch = b == '\t' ? " " : bytes;
    // Escape sequences, control characters, broken UTF-8.
    if (static_cast<unsigned char>(ch[0]) < 0x20 || b == 0x7f || (b >= 0x80 && ch.size() == 1))
        return;
    if (tcols_ == 0)
        measure();
    // The line never reaches the last column, so it never wraps.
    const int room = tcols_ > 1 ? tcols_ - 1 : 79;
    if (line_.add(ch, echo_width(ch), room)) {
        echoing_ = true;
        emit_text(ch);
        echoing_ = false;
    }
}

// Writes the line being typed again on its row. A line wider than the row
// (the terminal shrank under it) shows its end, after a mark.
void BaseConsole::show_line()
{
    echoing_ = true;
    erase_line();
    cols_.at(0);
    const int room = tcols_ > 1 ? tcols_ - 1 : 79;
    const std::string& s = line_.text();
    if (line_.width() <= room) {
        emit_text(s);
    } else {
        emit_text("<");
        emit_text(std::string_view(s).substr(line_.tail(room - 1)));
    }
    echoing_ = false;
}

// The typed line is entered: it stays on screen as shown, and in what the
// question shows, followed by a new line.
void BaseConsole::enter()
{
    answers_.add(line_.text());
    const int room = tcols_ > 1 ? tcols_ - 1 : 79;
    const std::string& s = line_.text();
    shown_.back() += line_.width() <= room ? s : "<" + s.substr(line_.tail(room - 1));
    line_.clear();
    text("\n");
}
