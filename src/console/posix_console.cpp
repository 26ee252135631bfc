// The console on a POSIX terminal: termios for the modes, control sequences
// for the screen, poll() for waiting without burning the processor.
#include "console/posix_console.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// What the signal handlers may touch.
int g_wake[2] = {-1, -1};               // self-pipe: a byte per signal
volatile sig_atomic_t g_quit_sig = 0;   // INT, TERM, HUP or QUIT seen
volatile sig_atomic_t g_stop = 0;       // TSTP seen
volatile sig_atomic_t g_lost = 0;       // WINCH or CONT seen
volatile sig_atomic_t g_have_tty = 0;
struct termios g_orig;                  // the modes we found
const char RESTORE[] = "\x18\x1b[0m\x1b[?25h\x1b[?1049l";

const int QUIT_SIGS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void wake()
{
    int e = errno;
    if (g_wake[1] >= 0) {
        char b = 0;
        ssize_t r = write(g_wake[1], &b, 1);
        (void)r;
    }
    errno = e;
}

// Lets output held by Ctrl-S go, so that a restoring write cannot block.
// SIGTTOU is held off meanwhile: in a background job the call would stop
// the game on its way out instead.
void resume_output()
{
    sigset_t s, old;
    sigemptyset(&s);
    sigaddset(&s, SIGTTOU);
    sigprocmask(SIG_BLOCK, &s, &old);
    tcflow(STDOUT_FILENO, TCOON);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

void on_quit(int sig)
{
    if (g_quit_sig != 0) {
        // Asked twice and the game has not got round to it: leave now.
        resume_output();
        ssize_t r = write(STDOUT_FILENO, RESTORE, sizeof RESTORE - 1);
        (void)r;
        if (g_have_tty)
            tcsetattr(STDIN_FILENO, TCSADRAIN, &g_orig);
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    g_quit_sig = sig;
    wake();
}

void on_stop(int) { g_stop = 1; wake(); }

void on_lost(int) { g_lost = 1; wake(); }

// A crash still gives the terminal back before the process dies.
[[maybe_unused]] void on_crash(int sig)
{
    ssize_t r = write(STDOUT_FILENO, RESTORE, sizeof RESTORE - 1);
    (void)r;
    if (g_have_tty)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &g_orig);
    signal(sig, SIG_DFL);
    raise(sig);
}

void handle(int sig, void (*fn)(int))
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = fn;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: blocking calls return to look at the flags
    sigaction(sig, &sa, nullptr);
}

long long mono_ns()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

constexpr long long ESC_WAIT_NS = 30 * 1000000LL; // rest of a split key sequence
constexpr size_t REPLAY_CAP = 256 * 1024;

} // namespace

PosixConsole::PosixConsole()
    : AnsiConsole(nl_langinfo(CODESET)), start_ns_(mono_ns())
{
    tty_in_ = isatty(STDIN_FILENO);
    if (tty_in_ && tcgetattr(STDIN_FILENO, &g_orig) == 0) {
        g_have_tty = 1;
        line_ = g_orig;
        line_.c_lflag |= ICANON | ECHO | ISIG;
        keys_ = g_orig;
        keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        keys_.c_lflag |= ISIG; // Ctrl-C and Ctrl-Z keep working in play
        keys_.c_cc[VMIN] = 1;
        keys_.c_cc[VTIME] = 0;
    } else {
        tty_in_ = false;
    }
    if (pipe(g_wake) == 0) {
        for (int fd : g_wake) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    for (int sig : QUIT_SIGS)
        handle(sig, on_quit);
    handle(SIGTSTP, on_stop);
    handle(SIGWINCH, on_lost);
    handle(SIGCONT, on_lost);
    // Output to a reader that went away is dropped, not fatal.
    signal(SIGPIPE, SIG_IGN);
#if !defined(__SANITIZE_ADDRESS__)
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        handle(sig, on_crash);
#endif
    enter();
}

PosixConsole::~PosixConsole() { restore(); }

void PosixConsole::enter()
{
    // Own screen, painted black, cursor at the top left. Written directly:
    // this is no part of what a redraw must repeat.
    std::string s = "\x1b[?1049h";
    if (hidden_)
        s += "\x1b[?25l";
    s += sgr(7, 0) + "\x1b[2J\x1b[H";
    buf_.clear();
    size_t off = 0;
    while (off < s.size()) {
        ssize_t w = write(STDOUT_FILENO, s.data() + off, s.size() - off);
        if (w > 0)
            off += static_cast<size_t>(w);
        else if (!(w < 0 && errno == EINTR))
            break;
    }
    forget();
    set_mode(mode_);
}

void PosixConsole::leave()
{
    buf_.clear();
    // Output held by Ctrl-S would block the restoring write below.
    if (isatty(STDOUT_FILENO))
        resume_output();
    ssize_t r = write(STDOUT_FILENO, RESTORE, sizeof RESTORE - 1);
    (void)r;
    if (tty_in_)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &g_orig);
}

void PosixConsole::restore()
{
    if (restored_)
        return;
    flush();
    leave();
    restored_ = true;
}

void PosixConsole::set_mode(Mode m)
{
    if (tty_in_ && m != Mode::None && (m != mode_ || !applied_)) {
        // Keys typed for one mode are not meant for the other.
        if (mode_ != Mode::None && m != mode_) {
            tcflush(STDIN_FILENO, TCIFLUSH);
            in_.clear();
            queue_n_ = 0;
        }
        tcsetattr(STDIN_FILENO, TCSADRAIN, m == Mode::Line ? &line_ : &keys_);
        applied_ = true;
    }
    mode_ = m;
}

void PosixConsole::emit(const char* p, size_t n)
{
    if (replaying_ok_ && !redraw) {
        if (replay_.size() + n <= REPLAY_CAP)
            replay_.append(p, n);
        else
            replaying_ok_ = false;
    }
    while (n > 0) {
        ssize_t w = write(STDOUT_FILENO, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
        } else if (w < 0 && errno == EINTR) {
            if (g_quit_sig)
                die();
        } else {
            return; // output gone (closed, full): nothing sensible to do
        }
    }
}

void PosixConsole::clear()
{
    AnsiConsole::clear();
    replay_.clear();
    replaying_ok_ = true;
}

[[noreturn]] void PosixConsole::die()
{
    int sig = g_quit_sig;
    leave();
    restored_ = true;
    signal(sig, SIG_DFL);
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, sig);
    sigprocmask(SIG_UNBLOCK, &s, nullptr);
    raise(sig);
    _exit(128 + sig);
}

void PosixConsole::suspend()
{
    g_stop = 0;
    flush();
    leave();
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    // Running again.
    handle(SIGTSTP, on_stop);
    applied_ = false;
    enter();
    g_lost = 1;
}

void PosixConsole::check()
{
    if (g_quit_sig)
        die();
    if (g_stop)
        suspend();
    if (!g_lost)
        return;
    g_lost = 0;
    // The terminal may have been reset while we were away.
    applied_ = false;
    set_mode(mode_);
    forget();
    if (redraw) {
        redraw();
    } else if (replaying_ok_) {
        std::string r;
        r.swap(replay_);
        emit_clear_and(r);
    }
    flush();
}

void PosixConsole::emit_clear_and(const std::string& r)
{
    AnsiConsole::clear();
    flush();
    replay_.clear();
    emit(r.data(), r.size());
}

void PosixConsole::drain_wake()
{
    char b[64];
    while (g_wake[0] >= 0 && read(g_wake[0], b, sizeof b) > 0) {
    }
}

// Waits until standard input is readable, a signal arrives, or deadline_ns
// (monotonic; negative: no deadline). Returns true when input is readable.
bool PosixConsole::block(long long deadline_ns)
{
    flush();
    struct pollfd fds[2];
    int n = 0;
    if (!eof_) {
        fds[n].fd = STDIN_FILENO;
        fds[n].events = POLLIN;
        n++;
    }
    fds[n].fd = g_wake[0];
    fds[n].events = POLLIN;
    n++;
    int r;
    for (;;) {
        struct timespec ts, *tsp = nullptr;
        if (deadline_ns >= 0) {
            long long left = deadline_ns - mono_ns();
            if (left < 0)
                left = 0;
            // The kernel lets a poll timeout run late by 0.1 % of its length
            // (a whole millisecond on a one-second wait): stop short, then
            // finish with a short wait whose slack is negligible.
            if (left > 2000000LL)
                left -= left / 1000 + 100000LL;
            ts.tv_sec = static_cast<time_t>(left / 1000000000LL);
            ts.tv_nsec = static_cast<long>(left % 1000000000LL);
            tsp = &ts;
        }
        r = ppoll(fds, static_cast<nfds_t>(n), tsp, nullptr);
        if (r != 0 || deadline_ns < 0 || mono_ns() >= deadline_ns)
            break;
    }
    drain_wake();
    if (r <= 0)
        return false;
    return !eof_ && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// Reads what standard input has now, without waiting.
void PosixConsole::fill()
{
    if (eof_)
        return;
    struct pollfd p = {STDIN_FILENO, POLLIN, 0};
    while (poll(&p, 1, 0) > 0) {
        char b[4096];
        ssize_t r = read(STDIN_FILENO, b, sizeof b);
        if (r > 0) {
            in_.append(b, static_cast<size_t>(r));
            // At a prompt the terminal echoed this: keep it for a redraw.
            if (tty_in_ && mode_ == Mode::Line && replaying_ok_ && !redraw &&
                replay_.size() + static_cast<size_t>(r) <= REPLAY_CAP)
                replay_.append(b, static_cast<size_t>(r));
            if (static_cast<size_t>(r) < sizeof b)
                return;
        } else if (r == 0 || (errno != EINTR && errno != EAGAIN)) {
            eof_ = true;
            return;
        } else {
            return;
        }
    }
}

// Moves one decoded key from the input bytes to the code queue.
bool PosixConsole::decode()
{
    if (queue_n_ > 0)
        return true;
    if (in_.empty())
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(in_.data());
    bool final = eof_ || (partial_since_ >= 0 && mono_ns() - partial_since_ >= ESC_WAIT_NS);
    KeyRead k = decode_key(p, in_.size(), final);
    if (k.key == Key::None) {
        if (partial_since_ < 0)
            partial_since_ = mono_ns();
        return false;
    }
    partial_since_ = -1;
    in_.erase(0, k.used);
    queue_pos_ = 0;
    queue_n_ = key_codes(k.key, queue_);
    return true;
}

long long PosixConsole::partial_deadline() const
{
    return partial_since_ < 0 ? -1 : partial_since_ + ESC_WAIT_NS;
}

bool PosixConsole::kbhit()
{
    check();
    set_mode(Mode::Keys);
    flush();
    if (queue_n_ > 0)
        return true;
    fill();
    return decode();
}

int PosixConsole::getch()
{
    while (!kbhit()) {
        if (eof_ && in_.empty())
            return 0;
        block(partial_deadline());
    }
    int c = queue_[queue_pos_++];
    if (queue_pos_ == queue_n_)
        queue_n_ = queue_pos_ = 0;
    return c;
}

void PosixConsole::wait_key(int due_ms)
{
    check();
    set_mode(Mode::Keys);
    if (queue_n_ > 0 || g_lost)
        return;
    fill();
    if (decode())
        return;
    long long due = start_ns_ + static_cast<long long>(due_ms) * 1000000LL;
    long long pd = partial_deadline();
    if (pd >= 0 && pd < due)
        due = pd;
    if (due > mono_ns())
        block(due);
    check();
}

void PosixConsole::pause()
{
    static const char PROMPT[] = "请按任意键继续. . .";
    const int row = row_;
    text(PROMPT);
    set_mode(Mode::Keys);
    // Keys typed before the pause do not end it. They go before the prompt
    // shows, so that a key pressed in answer to it cannot go with them.
    if (tty_in_)
        tcflush(STDIN_FILENO, TCIFLUSH);
    in_.clear();
    queue_n_ = queue_pos_ = 0;
    partial_since_ = -1;
    flush();
    for (;;) {
        bool lost = g_lost || g_stop;
        check();
        if (lost && redraw) {
            // The game screen was drawn again: put the prompt back too.
            move(0, row);
            attr(15, 0);
            text(PROMPT);
            flush();
        }
        fill();
        if (decode()) {
            queue_n_ = queue_pos_ = 0;
            return;
        }
        if (eof_)
            return;
        block(partial_deadline());
    }
}

int PosixConsole::read_int(int* v)
{
    set_mode(Mode::Line);
    for (;;) {
        check();
        int r = take_int(in_, eof_, v);
        if (r == INPUT_ENDED)
            PosixConsole::quit(1, "输入已结束");
        if (r != NEED_MORE)
            return r;
        if (block(-1))
            fill();
    }
}

int PosixConsole::now_ms()
{
    return static_cast<int>((mono_ns() - start_ns_) / 1000000LL);
}

void PosixConsole::sleep_ms(int ms)
{
    flush();
    long long until = mono_ns() + ms * 1000000LL;
    for (;;) {
        if (g_quit_sig)
            die();
        if (g_stop)
            suspend();
        long long left = until - mono_ns();
        if (left <= 0)
            return;
        struct timespec ts = {static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
        nanosleep(&ts, nullptr);
    }
}

unsigned PosixConsole::seed() { return static_cast<unsigned>(std::time(nullptr)); }

bool PosixConsole::size(int* cols, int* rows)
{
    struct winsize ws;
    for (int fd : {STDOUT_FILENO, STDIN_FILENO})
        if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
            *cols = ws.ws_col;
            *rows = ws.ws_row;
            return true;
        }
    return false;
}

bool PosixConsole::wait_resize_or_key()
{
    set_mode(Mode::Keys);
    for (;;) {
        if (g_quit_sig)
            die();
        if (g_stop)
            suspend();
        if (g_lost) {
            g_lost = 0;
            return false;
        }
        fill();
        if (decode()) {
            queue_n_ = queue_pos_ = 0;
            return true;
        }
        if (eof_)
            return true;
        block(partial_deadline());
    }
}

void PosixConsole::quit(int status, const char* why)
{
    restore();
    std::string msg = "my-dropix: ";
    enc_.append(msg, why, std::strlen(why));
    msg += '\n';
    ssize_t r = write(STDERR_FILENO, msg.data(), msg.size());
    (void)r;
    std::exit(status);
}
