// Trying out moves of the falling piece with the game's own rules, for the
// tests and tools that steer a game: the game's state is put back as it was
// after each try, and nothing of it reaches the screen or the board log.
#pragma once

#include <string>
#include <string>
#include <vector>

struct Try {
    int code = 0, x = 0, y = 0; // where the piece came to rest
    int gone = 0;               // full rows removed then
    std::vector<int> after;     // the board after that: after[x * Y + y]
};

// Turns the falling piece (stamped on the board) `turns` times, steps it
// |dx| columns (left when dx < 0), drops it until it lands, then removes
// the full rows.
Try try_move(int turns, int dx);

// Keys that turn, step and drop the falling piece to where it leaves the
// fewest holes and the lowest stack, rows removed counting most. In a wide
// well a stack grows from one side unless its highest column counts too,
// by `flat`.
std::string steer(double flat = 0);
