// What the bench's tables of bytes share: the fixed games they measure,
// and which writes of a game show play.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "fixture.h"
#include "lean.h"
#include "planner.h"

class FakeConsole;

// The game's own set-up of a well, its walls and side panel drawn.
void new_well(int w, int h);

// A whole game on `fc` with a fixed seed, in a w x h well without the board
// log: the first `steered` pieces steered to fill rows, the rest left to
// fall, so that the game ends. `spawns` counts the pieces spawned so far.
void play_game(FakeConsole& fc, int w, int h, unsigned seed, long steered, const long& spawns, double flat = 0);

// Tells the writes of a game that show play: from the one that clears the
// questions away to the last before the end screen.
class PlayWindow {
public:
    // The game's next write; true when it shows play.
    bool take(std::string_view write);

private:
    enum { BEFORE, PLAYING, AFTER } state_ = BEFORE;
    bool asked_ = false; // the last question was shown
    std::string tail_;   // of what came before, for a text split between writes
};
