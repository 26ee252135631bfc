// The game's bytes against ncurses' on the same screens.
#pragma once

// Prints the table, or why it is skipped; false when curses' output ever
// showed something else than the game's.
bool curses_table();
