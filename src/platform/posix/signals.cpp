// The signals: what their handlers may do is set a flag, wake the waiting
// through a pipe, and give the terminal back on the way out; for a long
// task, note a request to end.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/posix.h"

volatile sig_atomic_t g_quit_sig = 0;
volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_cont = 0;
volatile sig_atomic_t g_winch = 0;
volatile sig_atomic_t g_held = 0;
volatile sig_atomic_t g_modes = 0;
struct termios g_found;

namespace {

int g_wake[2] = {-1, -1}; // self-pipe: a byte per signal
// Cancels a sequence cut short, then default colours, the cursor shown,
// the main screen back.
const char GIVE_BACK[] = "\x18\x1b[0m\x1b[?25h\x1b[?1049l";

// Every signal whose default is to end the process, but for the faults
// below and for PIPE and XFSZ, which are ignored: a failed write says more.
const int QUIT_SIGS[] = {
    SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
};

// Faults of the program itself: the terminal is given back from the handler.
const int CRASH_SIGS[] = {SIGTRAP, SIGSYS};

// Under the address sanitizer its own handlers report crashes.
#if defined(__SANITIZE_ADDRESS__)
#define DROPIX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DROPIX_ASAN 1
#endif
#endif

void wake()
{
    const int e = errno;
    if (g_wake[1] >= 0) {
        const char b = 0;
        ssize_t r = write(g_wake[1], &b, 1);
        (void)r;
    }
    errno = e;
}

// Writes what standard output takes of p[0..n) within 100 ms: a terminal
// that reads nothing must not keep the game from ending. Safe in a signal
// handler.
void put_bounded(const char* p, size_t n)
{
    const int fl = fcntl(STDOUT_FILENO, F_GETFL);
    if (fl >= 0 && !(fl & O_NONBLOCK))
        fcntl(STDOUT_FILENO, F_SETFL, fl | O_NONBLOCK);
    const long long end = mono_ns() / 1000000 + 100;
    while (n > 0) {
        const ssize_t w = write(STDOUT_FILENO, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
            continue;
        }
        const long long left = end - mono_ns() / 1000000;
        if ((w < 0 && errno != EAGAIN && errno != EINTR) || left <= 0)
            break;
        struct pollfd pf = {STDOUT_FILENO, POLLOUT, 0};
        poll(&pf, 1, static_cast<int>(left));
    }
    if (fl >= 0 && !(fl & O_NONBLOCK))
        fcntl(STDOUT_FILENO, F_SETFL, fl);
}

void on_quit(int sig)
{
    if (g_quit_sig != 0) {
        // Asked twice and the game has not got round to it: leave now.
        hand_back();
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    g_quit_sig = sig;
    wake();
}

void on_stop(int) { g_stop = 1; wake(); }

void on_cont(int) { g_cont = 1; wake(); }

void on_winch(int) { g_winch = 1; wake(); }

// A crash still gives the terminal back before the process dies.
void on_crash(int sig)
{
    hand_back();
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

// As handle(), but for a signal the game was started with ignored (a
// nohup'd HUP, what a shell ignores for its background jobs): it stays so.
bool heed(int sig, void (*fn)(int))
{
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
        return false;
    handle(sig, fn);
    return true;
}

// A reader that went away or a file over its size limit make a write fail,
// which is said, rather than kill the program.
void fail_writes()
{
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

volatile sig_atomic_t g_noted = 0; // a request to end, noted for a long task

// Notes the request; a second one of the same kind, for a task that does
// not look, ends the program as usual.
void on_noted(int sig)
{
    if (g_noted == sig) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    g_noted = sig;
}

} // namespace

// Gives the terminal back; safe in a signal handler. Every signal is held
// off meanwhile: SIGTTOU, so that a game in the background by now still
// puts the modes back rather than stop on its way out, and the others so
// that the output's flags are put back too. The modes go back at once, not
// after output that may never drain.
void hand_back()
{
    if (!g_held)
        return;
    g_held = 0;
    sigset_t s, old;
    sigfillset(&s);
    sigprocmask(SIG_BLOCK, &s, &old);
    const int e = errno;
    put_bounded(GIVE_BACK, sizeof GIVE_BACK - 1);
    if (g_modes)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_found);
    errno = e;
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

int catch_signals()
{
    if (pipe(g_wake) == 0) {
        for (int fd : g_wake) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    sigset_t mine;
    sigemptyset(&mine);
    for (int sig : QUIT_SIGS)
        if (heed(sig, on_quit))
            sigaddset(&mine, sig);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        if (heed(sig, on_quit))
            sigaddset(&mine, sig);
#endif
    for (int sig : CRASH_SIGS)
        if (heed(sig, on_crash))
            sigaddset(&mine, sig);
    handle(SIGTSTP, on_stop);
    handle(SIGCONT, on_cont);
    handle(SIGWINCH, on_winch);
    for (int sig : {SIGTSTP, SIGCONT, SIGWINCH, SIGTTOU, SIGTTIN})
        sigaddset(&mine, sig);
    sigprocmask(SIG_UNBLOCK, &mine, nullptr);
    fail_writes();
#if !defined(DROPIX_ASAN)
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        handle(sig, on_crash);
#endif
    return g_wake[0];
}

void catch_stop() { handle(SIGTSTP, on_stop); }

// Without restart, as every handler here: a blocked write ends, and the
// request is seen.
void stop_note()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        heed(sig, on_noted);
    fail_writes();
}

int stop_noted() { return g_noted; }

void stop_now(int why) { die_of(why); }

void die_of(int sig)
{
    signal(sig, SIG_DFL);
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, sig);
    sigprocmask(SIG_UNBLOCK, &s, nullptr);
    raise(sig);
    _exit(128 + sig);
}

// Writes all of p[0..n), unless a signal to quit cuts a blocked write
// short (the write then returns what it took, or fails). False when the
// output is gone: closed, full, its reader away.
bool write_all(int fd, const char* p, size_t n)
{
    while (n > 0 && !g_quit_sig) {
        const ssize_t w = write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
        } else if (w < 0 && errno == EAGAIN) {
            struct pollfd pf = {fd, POLLOUT, 0};
            poll(&pf, 1, -1);
        } else if (!(w < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}


