#include "fake_console.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

FakeConsole::FakeConsole(int cols, int rows, const char* codeset, bool probe)
    : AnsiConsole(codeset), screen(cols, rows), cols_(cols), rows_(rows)
{
    edit_ = false;
    if (probe)
        buf_ = this->probe();
}

// At a question, the next line of the script; elsewhere the keys due.
void FakeConsole::fill()
{
    if (asking_) {
        if (in_.find('\n') == std::string::npos) {
            // Keys meant for play and not read by it are not what the
            // script types at the question.
            in_.clear();
            if (!lines.empty()) {
                const size_t nl = lines.find('\n');
                in_ += lines.substr(0, nl) + '\n';
                lines.erase(0, nl == std::string::npos ? nl : nl + 1);
            }
        }
    } else {
        while (!keys_.empty() && keys_.front().at <= t && room() > 0) {
            in_ += keys_.front().bytes;
            keys_.pop_front();
        }
    }
    in_ += replies_;
    replies_.clear();
}

// What the terminal says back comes in with the typed bytes.
void FakeConsole::emit(const char* p, size_t n)
{
    flushes++;
    raw.append(p, n);
    screen.feed_tty(std::string(p, n));
    replies_ += screen.replies;
    screen.replies.clear();
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

// Time passes to the next key or resize, or to the deadline; with neither
// left, the input has ended. The script is all a question will get.
void FakeConsole::block(int due_ms)
{
    if (asking_) {
        eof_ = lines.empty();
        return;
    }
    int until = next_event();
    if (due_ms >= 0)
        until = std::min(until, due_ms);
    if (until == INT_MAX) {
        eof_ = true;
        return;
    }
    if (until > t) {
        waits++;
        t = until;
    }
}

bool FakeConsole::lost()
{
    if (resizes_.empty() || t < resizes_.front().at)
        return false;
    flush();
    cols_ = resizes_.front().cols;
    rows_ = resizes_.front().rows;
    resizes_.pop_front();
    screen.resize(cols_, rows_);
    return true;
}

Key FakeConsole::key()
{
    if (++polls > limit)
        throw std::runtime_error("game loop does not end");
    if (on_poll)
        on_poll();
    return AnsiConsole::key();
}

void FakeConsole::play(int cols, int rows)
{
    flush();
    if (on_mode)
        on_mode(true);
    AnsiConsole::play(cols, rows);
}

void FakeConsole::ask()
{
    flush();
    if (on_mode)
        on_mode(false);
    AnsiConsole::ask();
}

void FakeConsole::text(std::string_view s)
{
    if (record)
        drawn.append(s.data(), s.size());
    AnsiConsole::text(s);
}

bool FakeConsole::size(int* cols, int* rows)
{
    *cols = cols_;
    *rows = rows_;
    return true;
}

void FakeConsole::quit(int status, const char* why)
{
    flush();
    throw FakeExit{status, why};
}
