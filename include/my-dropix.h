// The game's state and procedures. Everything is program-wide on purpose:
// the rules are small procedures that read and write this one state, and
// each game starts from a full reset.
//
// The short names are abbreviations: fk piece, fx the next piece, pz
// collision, ys colour, h row, gk width and height, m board, W anchor, O old
// anchor, R the piece's cells, sz array, bl variables, jg interval, fs
// score, yl preview, sm instructions, ck window, hf the log watched again
// (hf_ the viewer's own), lz the log recorded to be shared, d the data log
// (f_d, r_d, e_d); hollo the splash's greeting, chang a turn; and as
// prefixes s_ set, r_ write, d_ draw, c_ check, x_ select, f_ reset or
// first, e_ what went wrong.
#pragma once

#include <string>

constexpr int M_N = 100;   // board is M_N x M_N cells; bounds both well sizes
constexpr int WALL = 20;   // board value of a wall or floor cell
constexpr int N_CODE = 19; // shape codes are 1..N_CODE; 0 is no shape

// Console colour numbers (bit 0 blue, bit 1 green, bit 2 red, bit 3 bright).
constexpr int BLACK = 0;
constexpr int DARK_GREY = 8;
constexpr int LIGHT_BLUE = 9;
constexpr int LIGHT_GREEN = 10;
constexpr int LIGHT_CYAN = 11;
constexpr int LIGHT_RED = 12;
constexpr int LIGHT_MAGENTA = 13;
constexpr int YELLOW = 14;
constexpr int WHITE = 15;

// The commands of change().
constexpr int CH_TURN = 1;
constexpr int CH_DOWN = 2;
constexpr int CH_LEFT = 3;
constexpr int CH_RIGHT = 4;

// The console commands of command().
constexpr int CMD_CLS = 1;   // clear the screen
constexpr int CMD_PAUSE = 2; // pause on the row below the floor

extern int X, Y;          // well width and height, walls and floor included
extern int m[M_N][M_N];   // board, m[x][y], row 0 at the top
extern int R[4][2];       // the four cells (x, y) of the falling piece
extern int Wx, Wy;        // anchor: top-left of the piece's bounding box
extern int Ox, Oy;        // anchor before the last s_W, to undo a move
extern int E;             // shape code of the falling piece
extern int C;             // shape code of the next piece
extern int Z;             // 1 once a down move was refused (landed)
extern int F;             // score
extern int J;             // board log switch

// One orientation of a piece: its cells as offsets from the anchor, in the
// order they are tested and drawn; its width; colour; the codes one turn
// forward and back.
struct Shape {
    int c[4][2];
    int w;
    int cl;
    int turn;
    int back;
};
extern const Shape SH[N_CODE + 1]; // SH[0] is no shape

// The console the game draws on; set once by the entry point (or a test).
class Console;
extern Console* con;

#if defined(__GNUC__)
#define PRINTF_LIKE(a, b) __attribute__((format(printf, a, b)))
#else
#define PRINTF_LIKE(a, b)
#endif

// Console primitives
void set_color(int fore, int back);  // text colour, console numbers
void set_cursor(int visible);        // shows or hides the cursor
void set_cocate(int x, int y);       // cursor to board cell (x, y): column 2x, row y
void command(int type);              // CMD_CLS or CMD_PAUSE; others do nothing
int input_int(int low, int high);    // asks until a number in [low, high] comes
void out(const char* fmt, ...) PRINTF_LIKE(1, 2); // text at the cursor

// Game flow
int g_main();            // games until the player declines; the exit status
int run();               // one game, from the splash to the game over
void f_sz_m();           // empties the board array
void f_R();              // empties the piece's cells
void f_bl();             // resets the game variables
void s_gk();             // asks for the width and height
void s_j();              // asks whether to keep the board log
int x_jg();              // the drop interval in ms, 1000 - F/2
void d_yl(int code, int flag); // draws (or blacks out) the next-piece preview
int f_d_fx();            // spawns the next piece; 1 when it does not fit

// Board, shapes, moves, rows
void r_gk();             // writes the walls and floor into the board
void d_m();              // clears the screen and draws the walls
void s_R(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3); // sets R
void s_fk(int code);     // R = the cells of `code` at the anchor
void chang1();           // turns E a quarter clockwise
void chang2();           // turns E a quarter back
int s_ys(int code);      // the colour of a shape code, 0 for none
void x_ys(int code);     // selects that colour, if it has one
void s_W(int x, int y);  // sets the anchor, kept inside the walls
int c_pz();              // 1 when a cell of R is taken on the board
void r_fk_t_m(int flag); // stamps the piece into the board, or clears it
void d_fk(int flag);     // shows and stamps the piece, or erases it
void change(int type);   // one command on the falling piece, undone if refused
void c_h();              // removes full rows and scores them

// Screens
void hollo();            // the splash: banner and rules
void s_m();              // the side panel
void d_fs();             // the score and speed lines of the side panel
void f_ck();             // plays from here, on a terminal that shows the well and the panel
// The screens besides the game (the log's viewer, hf_open and hf_main; its
// recording, lz_open and lz_main) are listed in src/screens/list.h.

// Board log
enum class FileFault;
void f_d();              // empties data.txt
void r_d();              // appends a board snapshot when the log is on
std::string e_d();       // why a log asked for was not written; empty when it was
const char* e_why(FileFault f); // why a file could not be written, in words
