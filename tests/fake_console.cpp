#include "fake_console.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

FakeConsole::FakeConsole(int cols, int rows, const char* codeset)
    : AnsiConsole(codeset), screen(cols, rows), cols_(cols), rows_(rows)
{
}

void FakeConsole::emit(const char* p, size_t n)
{
    flushes++;
    raw.append(p, n);
    screen.feed_tty(std::string(p, n));
}

bool FakeConsole::take_resize()
{
    if (resizes_.empty() || t < resizes_.front().at)
        return false;
    flush();
    cols_ = resizes_.front().cols;
    rows_ = resizes_.front().rows;
    resizes_.pop_front();
    screen.resize(cols_, rows_);
    forget();
    return true;
}

bool FakeConsole::service_resize()
{
    if (!take_resize())
        return false;
    if (redraw)
        redraw();
    flush();
    return true;
}

void FakeConsole::arrive()
{
    while (!keys_.empty() && keys_.front().at <= t) {
        in_ += keys_.front().bytes;
        keys_.pop_front();
    }
}

bool FakeConsole::decode()
{
    if (qn_ > qp_)
        return true;
    arrive();
    KeyRead k = decode_key(reinterpret_cast<const unsigned char*>(in_.data()), in_.size(), true);
    if (k.key == Key::None)
        return false;
    in_.erase(0, k.used);
    qp_ = 0;
    qn_ = key_codes(k.key, q_);
    return true;
}

int FakeConsole::next_event() const
{
    int next = INT_MAX;
    if (!keys_.empty())
        next = keys_.front().at;
    if (!resizes_.empty())
        next = std::min(next, resizes_.front().at);
    return next;
}

bool FakeConsole::kbhit()
{
    if (++polls > limit)
        throw std::runtime_error("game loop does not end");
    if (on_poll)
        on_poll();
    service_resize();
    flush();
    return decode();
}

int FakeConsole::getch()
{
    while (!decode()) {
        int next = next_event();
        if (next == INT_MAX)
            return 0;
        t = std::max(t, next);
        service_resize();
    }
    int c = q_[qp_++];
    if (qp_ == qn_)
        qn_ = qp_ = 0;
    return c;
}

void FakeConsole::wait_key(int due_ms)
{
    flush();
    if (decode())
        return;
    int until = std::min(due_ms, next_event());
    if (until > t) {
        waits++;
        t = until;
    }
    service_resize();
}

void FakeConsole::pause()
{
    const int row = row_;
    text("请按任意键继续. . .");
    flush();
    arrive();
    in_.clear();
    qn_ = qp_ = 0;
    for (;;) {
        int next = next_event();
        if (next == INT_MAX)
            return; // end of input ends the pause
        t = std::max(t, next);
        if (service_resize()) {
            move(0, row);
            attr(15, 0);
            text("请按任意键继续. . .");
            continue;
        }
        if (decode()) {
            qn_ = qp_ = 0;
            return;
        }
    }
}

int FakeConsole::read_int(int* v)
{
    flush();
    // The script is all the input there is.
    int r = take_int(lines, true, v);
    if (r == INPUT_ENDED)
        FakeConsole::quit(1, "end of input");
    return r;
}

bool FakeConsole::size(int* cols, int* rows)
{
    *cols = cols_;
    *rows = rows_;
    return true;
}

bool FakeConsole::wait_resize_or_key()
{
    flush();
    for (;;) {
        if (take_resize())
            return false;
        if (decode()) {
            qn_ = qp_ = 0;
            return true;
        }
        int next = next_event();
        if (next == INT_MAX)
            return true;
        t = std::max(t, next);
    }
}

void FakeConsole::quit(int status, const char* why)
{
    flush();
    throw FakeExit{status, why};
}
