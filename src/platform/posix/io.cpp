// Input and waiting: what standard input holds, and waits that end on
// input, on a signal or at a deadline to the millisecond, without burning
// the processor.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/posix/posix.h"

namespace {

constexpr long long ANSWER_WAIT_NS = 200000000LL; // for a late answer at the way out

} // namespace

long long mono_ns()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

int PosixPlatform::now_ms() { return static_cast<int>((mono_ns() - start_ns_) / 1000000LL); }

bool PosixPlatform::size(int* cols, int* rows)
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

// Reads what standard input has now, without waiting. What is not read yet
// waits in the terminal or the pipe, not here.
bool PosixPlatform::read(std::string& in, size_t room, bool)
{
    while (!eof_ && room > 0) {
        struct pollfd p = {in_fd_, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0)
            break;
        char b[4096];
        const size_t want = room < sizeof b ? room : sizeof b;
        const ssize_t r = ::read(in_fd_, b, want);
        if (r > 0) {
            in.append(b, static_cast<size_t>(r));
            room -= static_cast<size_t>(r);
            if (static_cast<size_t>(r) < want)
                break;
        } else if (r < 0 && (errno == EINTR || errno == EAGAIN)) {
            break;
        } else {
            eof_ = true;
        }
    }
    if (probing_)
        answer(in);
    return !eof_;
}

// The terminal's answer about "■", taken out of the typed bytes.
bool PosixPlatform::answer(std::string& in)
{
    const int w = take_glyph_answer(in);
    if (w < 0)
        return false;
    probing_ = false;
    amb_ = w;
    return true;
}

// An answer still awaited at the way out would reach the shell as typed
// text: it is waited for a little, and dropped with what came before it.
void PosixPlatform::swallow_answer()
{
    if (!probing_ || eof_)
        return;
    std::string in;
    for (const long long end = mono_ns() + ANSWER_WAIT_NS; probing_;) {
        const long long left = end - mono_ns();
        struct pollfd p = {in_fd_, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left / 1000000LL) + 1) <= 0)
            break;
        char b[256];
        const ssize_t r = ::read(in_fd_, b, sizeof b);
        if (r <= 0 && !(r < 0 && (errno == EINTR || errno == EAGAIN)))
            break;
        if (r > 0)
            in.append(b, static_cast<size_t>(r));
        answer(in);
    }
}

// Waits until a signal comes, standard input is readable (with `input`),
// or the monotonic clock passes deadline_ns (negative: no deadline).
// Returns false when the deadline ended the wait.
bool PosixPlatform::wait_until(long long deadline_ns, bool input)
{
    const bool in = input && !eof_;
    for (;;) {
        fd_set fds;
        FD_ZERO(&fds);
        int top = -1;
        if (wake_ >= 0) {
            FD_SET(wake_, &fds);
            top = wake_;
        }
        if (in) {
            FD_SET(in_fd_, &fds);
            if (in_fd_ > top)
                top = in_fd_;
        }
        struct timespec ts, *tsp = nullptr;
        if (deadline_ns >= 0) {
            long long left = deadline_ns - mono_ns();
            if (left <= 0)
                return false;
            // The kernel lets a timed wait run late by 0.1 % of its length
            // (a whole millisecond on a one-second wait): stop short, then
            // finish with a short wait whose slack is negligible.
            if (left > 2000000LL)
                left -= left / 1000 + 100000LL;
            ts.tv_sec = static_cast<time_t>(left / 1000000000LL);
            ts.tv_nsec = static_cast<long>(left % 1000000000LL);
            tsp = &ts;
        }
        const int r = pselect(top + 1, &fds, nullptr, nullptr, tsp, nullptr);
        if (r > 0 && wake_ >= 0 && FD_ISSET(wake_, &fds)) {
            // The flags say which signals came; the bytes only woke us.
            char b[64];
            while (::read(wake_, b, sizeof b) > 0) {
            }
        }
        if (r != 0)
            return true;
    }
}

void PosixPlatform::wait(int due_ms, bool input)
{
    wait_until(due_ms < 0 ? -1 : start_ns_ + static_cast<long long>(due_ms) * 1000000LL, input);
}
