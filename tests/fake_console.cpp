#include "fake_console.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

FakePlatform::FakePlatform(int cols, int rows, const char* codeset, bool probe, const TermCaps& caps)
    : screen(cols, rows), enc_(codeset), paint_(enc_, caps), cols_(cols), rows_(rows)
{
    if (probe) {
        paint_.out() = glyph_probe(enc_);
        probing_ = true;
    }
}

// What the terminal says back comes in with the typed bytes.
bool FakePlatform::send()
{
    std::string& out = paint_.out();
    if (out.empty())
        return true;
    flushes++;
    if (before_write)
        before_write(out);
    raw += out;
    screen.feed_tty(out);
    if (!screen.replies.empty())
        replies_.push_back({t + answer_ms, screen.replies});
    screen.replies.clear();
    const size_t n = out.size();
    out.clear();
    if (on_write)
        on_write(n);
    return true;
}

bool FakePlatform::size(int* cols, int* rows)
{
    *cols = cols_;
    *rows = rows_;
    return true;
}

// At a question, the next line of the script; elsewhere the keys due.
bool FakePlatform::read(std::string& in, size_t room, bool lines_wanted)
{
    asking_ = lines_wanted;
    if (lines_wanted) {
        if (in.find('\n') == std::string::npos) {
            // Keys meant for play and not read by it are not what the
            // script types at the question.
            in.clear();
            if (!lines.empty()) {
                const size_t nl = lines.find('\n');
                in += lines.substr(0, nl) + '\n';
                lines.erase(0, nl == std::string::npos ? nl : nl + 1);
            }
        }
    } else {
        while (!keys_.empty() && keys_.front().at <= t && room > 0) {
            in += keys_.front().bytes;
            room -= std::min(room, keys_.front().bytes.size());
            keys_.pop_front();
        }
    }
    while (!replies_.empty() && replies_.front().at <= t) {
        in += replies_.front().bytes;
        replies_.pop_front();
    }
    if (probing_) {
        const int w = take_glyph_answer(in);
        if (w >= 0) {
            amb_ = w;
            probing_ = false;
        }
    }
    return !(lines_wanted ? lines_ended_ : keys_ended_);
}

// Time passes to the next key or answer (when input is waited for) or
// resize, or to the deadline; with none left, the input has ended. The
// script is all a question will get.
void FakePlatform::wait(int due_ms, bool input)
{
    if (asking_ && input) {
        lines_ended_ = lines.empty();
        return;
    }
    int until = input && !keys_.empty() ? keys_.front().at : INT_MAX;
    if (input && !replies_.empty())
        until = std::min(until, replies_.front().at);
    if (!resizes_.empty())
        until = std::min(until, resizes_.front().at);
    if (due_ms >= 0)
        until = std::min(until, due_ms);
    if (until == INT_MAX) {
        keys_ended_ = true;
        return;
    }
    if (until > t) {
        waits++;
        t = until;
    }
}

unsigned FakePlatform::events()
{
    if (resizes_.empty() || t < resizes_.front().at)
        return 0;
    send();
    cols_ = resizes_.front().cols;
    rows_ = resizes_.front().rows;
    resizes_.pop_front();
    screen.resize(cols_, rows_);
    return SCREEN_LOST | RESIZED;
}

FakeConsole::FakeConsole(int cols, int rows, const char* codeset, bool probe, const TermCaps& caps)
    : FakeBase(cols, rows, codeset, probe, caps), Console(fake), lines(fake.lines), screen(fake.screen), raw(fake.raw),
      t(fake.t), flushes(fake.flushes), waits(fake.waits)
{
}

Key FakeConsole::key()
{
    if (++polls > limit)
        throw std::runtime_error("game loop does not end");
    if (on_poll)
        on_poll();
    return Console::key();
}

void FakeConsole::play(int need_cols, int rows, int cols)
{
    flush();
    if (on_mode)
        on_mode(true);
    Console::play(need_cols, rows, cols);
}

void FakeConsole::ask()
{
    flush();
    if (on_mode)
        on_mode(false);
    Console::ask();
}

void FakeConsole::text(std::string_view s)
{
    if (record)
        drawn.append(s.data(), s.size());
    Console::text(s);
}

void FakeConsole::quit(int status, const char* why, const char* name)
{
    flush();
    throw FakeExit{status, std::string(name ? name : "") + why};
}
