// The log viewer's screen, drawn for a player watching (--replay) and into
// a recording (--cast): the well as the board m holds it, where the game
// draws it, and beside it what is shown.
#pragma once

#include <functional>
#include <string>

#include "log/reader.h"
#include "my-dropix.h"

// Snapshots a second while playing, slowest to fastest.
constexpr int HF_RATES[] = {1, 2, 3, 5, 10, 15, 20, 30, 60};
// Columns beside the well: the widest text there, the Home/End line.
constexpr int HF_PANEL_COLS = 24;
// The note under the floor for a last snapshot cut short.
extern const char HF_CUT_NOTE[];

// The screen anew: the well of the board m and the lines beside it that
// stay, with the key guide when `guide`. The console plays already.
void hf_d_frame(bool guide);
// Draws the cells of b that differ from the board m, and takes them in.
void hf_d_board(const int (*b)[M_N]);
// The lines beside the well that change: snapshot k (from 0) of n, the
// pieces up to it (>= 0; LogReader::LATER while they are counted; else
// none shown), the rate and whether it plays; and the note under the floor.
void hf_d_panel(long k, long n, long pieces, int rate, bool playing, const std::string& note);

// Snapshots a second that a recording of the viewer plays at (--rate).
extern int lz_rate;
// Records the log r, open, as the viewer shows it playing from the first
// snapshot to the last at `rate`, without its key guide: an asciicast v2
// header, then an event a snapshot. After each snapshot `put` is given the
// lines made and not taken (it takes what it writes out of them), and
// whether that was the last; it returns false to end there. Ok, or the
// reader's Fault or Changed with *fault, after the snapshots before.
LogReader::Outcome lz_record(LogReader& r, int rate, const std::function<bool(std::string&, bool)>& put,
                             std::string* fault);
