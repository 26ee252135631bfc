#include "games.h"

#include <algorithm>
#include <cstdlib>

#include "fake_console.h"
#include "fixture.h"
#include "my-dropix.h"
#include "planner.h"

void new_well(int w, int h)
{
    walled_well(w, h);
    d_m();
    s_m();
}

void play_game(FakeConsole& fc, int w, int h, unsigned seed, long steered, const long& spawns, double flat)
{
    con = &fc;
    fc.seed_v = seed;
    fc.lines = std::to_string(w) + "\n" + std::to_string(h) + "\n0\n0\n";
    long seen = 0;
    fc.on_poll = [&] {
        if (spawns != seen && spawns <= steered)
            fc.press(fc.t, steer(flat));
        seen = spawns;
    };
    try {
        g_main();
    } catch (const FakeExit&) {
    }
    fc.on_poll = nullptr;
}

bool PlayWindow::take(std::string_view write)
{
    static const std::string last_question = "是否开启数据记录";
    if (state_ == BEFORE) {
        tail_.append(write.data(), write.size());
        asked_ = asked_ || tail_.find(last_question) != std::string::npos;
        tail_.erase(0, tail_.size() - std::min(tail_.size(), last_question.size()));
    }
    const bool clears = write.find("\x1b[2J") != std::string_view::npos;
    if (clears && state_ == BEFORE && asked_)
        state_ = PLAYING;
    else if (clears && state_ == PLAYING)
        state_ = AFTER; // the end screen
    return state_ == PLAYING;
}
