// What the terminal can do, as its terminfo entry says: read through the
// system's terminfo library, as every curses program reads it.
#include "platform/posix/posix.h"

#include <unistd.h>

#include <cstdlib>

// Last: its macros (lines, columns...) would meet the names above.
#include <curses.h>
#include <term.h>

namespace {

bool has(const char* cap)
{
    const char* s = tigetstr(const_cast<char*>(cap));
    return s != nullptr && s != reinterpret_cast<char*>(-1);
}

} // namespace

// A terminal this system has no entry for (common over ssh), or none named,
// gets what every VT100-like terminal has: no erasing in colour.
TermCaps terminal_caps()
{
    TermCaps c;
    const char* term = std::getenv("TERM");
    int err = 0;
    if (!term || !*term || setupterm(term, STDOUT_FILENO, &err) != OK)
        return c;
    c.bce = tigetflag(const_cast<char*>("bce")) > 0;
    c.ech = has("ech");
    c.csr = has("csr");
    c.il = has("il1") || has("il");
    c.ri = has("ri");
    del_curterm(cur_term);
    return c;
}
