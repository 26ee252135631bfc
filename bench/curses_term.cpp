#define NCURSES_WIDECHAR 1
#define NCURSES_NOMACROS 1
#include "curses_term.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#ifdef DROPIX_NCURSESW_DIR
#include <ncursesw/curses.h>
#else
#include <curses.h>
#endif

namespace {

// An environment variable set for a while, then put back.
class Env {
public:
    Env(const char* name, int value) : name_(name)
    {
        const char* was = std::getenv(name);
        had_ = was != nullptr;
        if (had_)
            was_ = was;
        setenv(name, std::to_string(value).c_str(), 1);
    }
    ~Env()
    {
        if (had_)
            setenv(name_, was_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    std::string was_;
};

// One character and the combining ones after it, as curses takes them.
void wide(const std::string& s, wchar_t* w, size_t room)
{
    size_t n = 0;
    for (size_t k = 0; k < s.size() && n + 1 < room;) {
        const auto b = static_cast<unsigned char>(s[k]);
        const size_t len = b < 0x80 ? 1 : b < 0xe0 ? 2 : b < 0xf0 ? 3 : 4;
        char32_t c = len == 1 ? b : len == 2 ? b & 0x1f : len == 3 ? b & 0x0f : b & 0x07;
        for (size_t j = 1; j < len && k + j < s.size(); j++)
            c = (c << 6) | (static_cast<unsigned char>(s[k + j]) & 0x3f);
        w[n++] = static_cast<wchar_t>(c);
        k += len;
    }
    w[n] = 0;
}

} // namespace

CursesTerm::CursesTerm(const char* term, int cols, int rows)
{
    out_ = std::tmpfile();
    in_ = std::fopen("/dev/null", "r");
    if (!out_ || !in_) {
        why = "no temporary file";
        return;
    }
    {
        // Where the output is no terminal, curses takes its size from here.
        Env l("LINES", rows), c("COLUMNS", cols);
        sp_ = newterm(term, out_, in_);
    }
    if (!sp_) {
        why = std::string("no terminfo entry for ") + term;
        return;
    }
    // Input from /dev/null is always ready: an update that looks for typed
    // keys would stop at once.
    typeahead(-1);
    if (!has_colors() || start_color() == ERR || COLORS < 16) {
        why = std::string(term) + " has fewer than 16 colours";
        return;
    }
    use_default_colors();
    // What a program that wants few bytes asks for: the terminal's line
    // insert and delete allowed, no cursor to put back.
    idlok(stdscr, TRUE);
    leaveok(stdscr, TRUE);
    curs_set(0);
    // Erases in black where the terminal can.
    cchar_t black;
    const wchar_t space[] = L" ";
    setcchar(&black, space, A_NORMAL, pair(7, 0), nullptr);
    wbkgrnd(stdscr, &black);
    ready_ = true;
}

CursesTerm::~CursesTerm()
{
    if (sp_) {
        endwin();
        delscreen(sp_);
    }
    if (out_)
        std::fclose(out_);
    if (in_)
        std::fclose(in_);
}

const char* CursesTerm::version() { return curses_version(); }

short CursesTerm::pair(int fg, int bg)
{
    short& p = pairs_[fg + 1][bg + 1];
    if (p == 0) {
        p = ++pairs_used_;
        init_pair(p, static_cast<short>(fg), static_cast<short>(bg));
    }
    return p;
}

void CursesTerm::put(int col, int row, const std::string& ch, int fg, int bg)
{
    wchar_t w[CCHARW_MAX + 1];
    wide(ch, w, CCHARW_MAX + 1);
    cchar_t c;
    setcchar(&c, w, A_NORMAL, pair(fg, bg), nullptr);
    // The lower right cell is set even where curses says it cannot go on.
    mvwadd_wch(stdscr, row, col, &c);
}

std::string CursesTerm::refresh()
{
    wrefresh(stdscr);
    return output();
}

std::string CursesTerm::output()
{
    std::fflush(out_);
    struct stat st;
    std::string s;
    if (fstat(fileno(out_), &st) != 0 || st.st_size <= read_)
        return s;
    s.resize(static_cast<size_t>(st.st_size - read_));
    const ssize_t n = pread(fileno(out_), &s[0], s.size(), read_);
    s.resize(n > 0 ? static_cast<size_t>(n) : 0);
    read_ += static_cast<long>(s.size());
    return s;
}
