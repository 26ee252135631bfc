// The terminal in the game's hands: the key mode and the game's own screen
// are taken only while the game is the terminal's foreground job, and given
// back as they were found on every way out, suspend included.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix.h"

std::unique_ptr<Platform> platform_open()
{
    if (platform_was_closed(STDOUT_FILENO))
        return nullptr;
    return std::make_unique<PosixPlatform>();
}

PosixPlatform::PosixPlatform() : enc_(locale_codeset()), paint_(enc_, terminal_caps())
{
    start_ns_ = mono_ns();
    keys_in_ = isatty(STDIN_FILENO) != 0;
    term_ = keys_in_ ? STDIN_FILENO : isatty(STDOUT_FILENO) ? STDOUT_FILENO : -1;
    // A Ctrl-C flushes what the terminal holds: had that come between the
    // look that saw keys and the read, a read that may wait would wait for
    // good. The terminal's own description of its own, not the shell's, is
    // made not to wait.
    if (keys_in_)
        if (const char* name = ttyname(STDIN_FILENO)) {
            const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0)
                in_fd_ = fd;
        }
    wake_ = catch_signals();
    wait_foreground();
    take();
}

PosixPlatform::~PosixPlatform()
{
    restore();
    if (in_fd_ != STDIN_FILENO)
        close(in_fd_);
}

bool PosixPlatform::foreground() const
{
    if (term_ < 0)
        return true;
    const pid_t pg = tcgetpgrp(term_);
    // Not the controlling terminal: there is no job control to heed.
    return pg < 0 || pg == getpgrp();
}

// Started or continued in the background, the game stops as a background
// job that touches its terminal is stopped, and goes on when it is brought
// to the foreground.
void PosixPlatform::wait_foreground()
{
    while (!foreground()) {
        if (g_quit_sig)
            die();
        g_stop = 0;
        g_cont = 0;
        kill(0, SIGTTOU);
        // Not stopped (an orphaned group, or the stop is ignored): look
        // again a little later, still drawing nothing.
        if (!g_cont && !g_quit_sig)
            wait_until(mono_ns() + 200000000LL, false);
    }
    g_cont = 0;
}

// Sets the key mode and shows the game's own screen. The key mode is set
// once for the run and kept at the questions too, so that no switch of
// modes ever throws away what was typed.
void PosixPlatform::take()
{
    if (keys_in_ && !held_ && tcgetattr(STDIN_FILENO, &g_found) == 0) {
        keys_ = g_found;
        // No line editing, echo or flow control: Ctrl-S and Ctrl-Q are keys
        // like any other. Ctrl-C, Ctrl-Z and Ctrl-\ keep their signals.
        keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        keys_.c_lflag |= ISIG;
        keys_.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
        // Output as the game writes it, whatever `stty` was told: a line
        // feed starts the next line at its first column.
        keys_.c_oflag |= OPOST | ONLCR;
        keys_.c_oflag &= ~static_cast<tcflag_t>(OCRNL);
#ifdef OLCUC
        keys_.c_oflag &= ~static_cast<tcflag_t>(OLCUC);
#endif
        keys_.c_cc[VMIN] = 1;
        keys_.c_cc[VTIME] = 0;
        g_modes = 1;
    }
    held_ = true;
    g_held = 1;
    if (g_modes)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &keys_);
    std::string s = "\x1b[?1049h" + AnsiPainter::sgr(DEFAULT_FORE, DEFAULT_BACK) + "\x1b[2J\x1b[H";
    // How wide the terminal draws "■" decides how pictures are sent; only
    // a terminal that both shows the output and types the input can say.
    if (keys_in_ && amb_ == 0 && !asked_ && isatty(STDOUT_FILENO)) {
        s += glyph_probe(enc_);
        asked_ = probing_ = true;
    }
    // What was drawn for the screen before is of no use on this one.
    paint_.forget();
    paint_.out() = s;
}

void PosixPlatform::give_back()
{
    hand_back();
    held_ = false;
}

void PosixPlatform::restore()
{
    if (restored_)
        return;
    paint_.out().clear();
    swallow_answer();
    give_back();
    restored_ = true;
}

bool PosixPlatform::send()
{
    std::string& out = paint_.out();
    // Stopped unawares and continued in the background: the terminal is
    // the shell's until the game acts on the continue.
    if (out.empty() || (g_cont && held_ && !foreground()))
        return true;
    const bool ok = write_all(STDOUT_FILENO, out.data(), out.size());
    out.clear();
    if (g_quit_sig)
        die();
    return ok;
}

[[noreturn]] void PosixPlatform::die()
{
    const int sig = g_quit_sig;
    paint_.out().clear();
    swallow_answer(); // a signal right after start leaves by here
    give_back();
    restored_ = true;
    die_of(sig);
}

// Ctrl-Z: the terminal goes back to the shell, then the game stops.
void PosixPlatform::suspend()
{
    g_stop = 0;
    send();
    give_back();
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    catch_stop();
    g_cont = 1; // what follows a continue, even had its signal come early
}

unsigned PosixPlatform::events()
{
    unsigned ev = 0;
    if (g_quit_sig)
        die();
    if (g_stop)
        suspend();
    if (g_cont) {
        g_cont = 0;
        // Killed while stopped: `kill` continues the job to let it die.
        if (g_quit_sig)
            die();
        if (held_ && !foreground()) {
            // Stopped without a word and continued in the background: the
            // terminal is the shell's, as it has set it.
            held_ = false;
            g_held = 0;
        }
        wait_foreground();
        take();
        ev |= SCREEN_LOST | RESIZED;
    }
    if (g_winch) {
        g_winch = 0;
        ev |= SCREEN_LOST | RESIZED;
    }
    return ev;
}
