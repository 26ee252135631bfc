#include "console/questions.h"

#include "console/keys.h"
#include "console/painter.h"
#include "console/utf8.h"

namespace {

constexpr size_t MAX_SHOWN = 500;  // lines kept to draw a question's screen again
constexpr char COLOURS = '\x01';      // in shown_: the next byte is the colours from here on

// Columns a line may take: it never reaches the last one, so it never wraps.
int room(int cols) { return cols > 1 ? cols - 1 : 79; }

} // namespace

void Questions::text(std::string_view s, int attr)
{
    if (attr != attr_)
        recolour(attr);
    emit(s, attr);
    keep(s);
}

void Questions::recolour(int attr)
{
    attr_ = attr;
    shown_.back() += COLOURS;
    shown_.back() += static_cast<char>(attr);
}

// Text where the cursor stands; text that follows a glyph of uncertain
// width on its line is put back where the layout wants it.
void Questions::emit(std::string_view s, int attr)
{
    p_.pen(attr & 15, attr >> 4);
    size_t from = 0;
    for (size_t k = 0; k < s.size();) {
        if (unsure_ && s[k] != '\n' && s[k] != '\r') {
            p_.put(s.substr(from, k - from));
            from = k;
            p_.go(col_, -1);
            unsure_ = false;
        }
        const char32_t ch = utf8_next(s, k);
        if (ch == '\n' || ch == '\r') {
            col_ = 0;
            unsure_ = false;
        } else if (col_ >= 0) {
            col_ += layout_width(ch);
            unsure_ = ambiguous(ch);
        }
    }
    p_.put(s.substr(from));
}

void Questions::keep(std::string_view s)
{
    for (size_t nl; (nl = s.find('\n')) != std::string_view::npos; s.remove_prefix(nl + 1)) {
        shown_.back().append(s.data(), nl);
        shown_.emplace_back();
        recolour(attr_);
    }
    shown_.back().append(s.data(), s.size());
    while (shown_.size() > MAX_SHOWN)
        shown_.pop_front();
}

void Questions::clear(int attr)
{
    p_.pen_back(attr >> 4);
    p_.wipe();
    at(0);
    shown_.assign(1, "");
    recolour(attr);
}

void Questions::redraw(int rows, int cols, bool cursor_shown)
{
    p_.pen_back(DEFAULT_BACK);
    p_.wipe();
    p_.show_cursor(cursor_shown);
    at(0);
    size_t from = 0;
    if (rows > 0 && static_cast<size_t>(rows) < shown_.size())
        from = shown_.size() - static_cast<size_t>(rows);
    int a = DEFAULT_FORE + 16 * DEFAULT_BACK; // what the screen was first written in
    for (size_t k = from; k < shown_.size(); k++) {
        if (k > from)
            emit("\n", a);
        const std::string& line = shown_[k];
        size_t text = 0;
        for (size_t m; (m = line.find(COLOURS, text)) != std::string::npos && m + 1 < line.size(); text = m + 2) {
            emit(std::string_view(line).substr(text, m - text), a);
            a = static_cast<unsigned char>(line[m + 1]);
        }
        emit(std::string_view(line).substr(text), a);
    }
    at(-1);
    show_line(cols);
}

Questions::Typing Questions::typed(Typed& in, int now, int cols, std::string& entered)
{
    for (;;) {
        if (ended_)
            return STOPPED;
        const KeyRead k = in.first(now, false);
        if (k.key == Key::None) {
            if (!in.empty() || !in.ended())
                return WAITING;
            // The end of input enters what was typed, then ends it.
            ended_ = true;
            if (line_.empty())
                return STOPPED;
            enter(cols, entered);
            return ENTERED;
        }
        const std::string bytes = in.bytes().substr(0, k.used);
        in.first(now, true);
        const unsigned char b = static_cast<unsigned char>(bytes[0]);
        if (b == '\r' || b == '\n') {
            enter(cols, entered);
            return ENTERED;
        }
        if (b == 0x04 && line_.empty()) {
            ended_ = true;
            return STOPPED;
        }
        edit(bytes, cols);
    }
}

// One key typed at a question: printable characters are taken and shown,
// Tab as a blank; Backspace and Ctrl-U erase; everything else does nothing.
void Questions::edit(const std::string& bytes, int cols)
{
    const unsigned char b = static_cast<unsigned char>(bytes[0]);
    if ((b == 0x7f || b == 0x08) && !line_.empty()) {
        line_cols_ -= widths_.back();
        widths_.pop_back();
        line_.erase(utf8_back(line_, line_.size()));
        show_line(cols);
        return;
    }
    if (b == 0x15 && !line_.empty()) {
        line_.clear();
        widths_.clear();
        line_cols_ = 0;
        show_line(cols);
        return;
    }
    const std::string ch = b == '\t' ? " " : bytes;
    // Escape sequences, control characters, broken UTF-8.
    if (static_cast<unsigned char>(ch[0]) < 0x20 || b == 0x7f || utf8_len(reinterpret_cast<const unsigned char*>(ch.data()), ch.size()) != static_cast<int>(ch.size()))
        return;
    const int w = p_.width_of(ch);
    if (line_cols_ + w > room(cols))
        return;
    line_ += ch;
    widths_ += static_cast<char>(w);
    line_cols_ += w;
    emit(ch, attr_);
}

// The line as it shows on a row `cols` wide: a line wider than the row
// (the terminal shrank under it) shows its end, after a mark.
std::string Questions::shown_line(int cols) const
{
    if (line_cols_ <= room(cols))
        return line_;
    size_t at = line_.size();
    int used = 0;
    for (size_t c = widths_.size(); c > 0 && used + widths_[c - 1] <= room(cols) - 1; c--) {
        used += widths_[c - 1];
        at = utf8_back(line_, at);
    }
    return "<" + line_.substr(at);
}

// Writes the line being typed again on its row.
void Questions::show_line(int cols)
{
    p_.erase_line();
    at(0);
    emit(shown_line(cols), attr_);
}

// The typed line is entered: it stays on screen as shown, and in what the
// question shows, followed by a new line.
void Questions::enter(int cols, std::string& entered)
{
    entered += line_;
    entered += '\n';
    shown_.back() += shown_line(cols);
    line_.clear();
    widths_.clear();
    line_cols_ = 0;
    text("\n", attr_);
}
