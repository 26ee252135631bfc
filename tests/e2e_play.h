// Playing the real game in a pseudo-terminal, as the end-to-end tests do.
// The helpers that return nothing stop at their first failure: call them
// inside ASSERT_NO_FATAL_FAILURE so that the test stops there too.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "json.h"
#include "pty_driver.h"

class LogReader;

extern const char DOWN[];
extern const char LEFT[];
extern const char PAUSE_PROMPT[];
extern const char END_PROMPT[];

// The modes a new terminal starts with.
struct termios pristine();
// The terminal's modes are `want`.
void expect_modes_back(PtyGame& g, const struct termios& want = pristine());
// Modes, screen, cursor and colours are as a new terminal has them (the
// modes as `want`).
void expect_terminal_back(PtyGame& g, const struct termios& want = pristine());
// Answers the three prompts and waits until the first piece has moved.
void start(PtyGame& g, int w, int h, int log = 0);
// Drops pieces with bursts of down keys until `over` holds.
bool drop_until(PtyGame& g, const std::function<bool()>& over);
// Plays until the final board waits under the pause prompt on row h (or,
// had a burst ended that pause, the end screen is up).
bool play_to_end(PtyGame& g, int h);
// From play to the end screen's question.
void to_end_prompt(PtyGame& g, int h);
// A board log of n snapshots of a w x h well: its walls, and a square that
// falls one row a snapshot.
std::string a_log(int w, int h, int n);
// A new directory under /tmp with the given mode; "" when none could be made.
std::string scratch_dir(mode_t mode = 0755);
// An executable shell script run.sh in `dir`, and its path.
std::string script(const std::string& dir, const std::string& body);
std::string slurp(const std::string& path);
// Removes `dir` and all in it, read-only parts too.
void remove_tree(const std::string& dir);

// Feeds a recording's events in order to a terminal screen, cols x rows,
// and after each looks for snapshot k of the log: every cell of the well in
// the colour of what it holds, and "第 k / n 步" beside it. With
// `two_columns`, "■" is drawn two columns wide, as some terminals draw it
// (libvterm draws it in one: it is given a glyph that takes two). The
// first difference, "" when there is none.
std::string cast_shows_log(const CastFile& c, LogReader& log, bool two_columns);
