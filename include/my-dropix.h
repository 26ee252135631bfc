// Game state shared by every part of the game, and the constants they agree
// on. Everything is program-wide on purpose: the rules are small procedures
// that read and write this one state, and each game starts from a full reset.
#pragma once

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

extern int X, Y;          // well width and height, walls and floor included
extern int m[M_N][M_N];   // board, m[x][y], row 0 at the top
extern int R[4][2];       // the four cells (x, y) of the current piece
extern int Wx, Wy;        // anchor: top-left of the piece's bounding box
extern int Ox, Oy;        // anchor before the last s_W, to undo a move
extern int E;             // shape code of the falling piece
extern int C;             // shape code of the next piece
extern int Z;             // 1 once a down move was refused (landed)
extern int F;             // score
extern int J;             // board log switch
extern int s_t_1, s_t_2;  // clock after the last gravity step; latest sample
extern int i, j;          // shared loop counters over x and y

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
void set_color(int fore, int back);
void set_cursor(int visible);
void set_cocate(int x, int y);
void command(int type);
int input_int(int low, int high);
void out(const char* fmt, ...) PRINTF_LIKE(1, 2);

// Game flow
int g_main();
int run();
void f_sz_m();
void f_R();
void f_bl();
void s_gk();
void s_j();
int f_d_fx();

// Board, shapes, moves, rows
void r_gk();
void d_m();
void s_R(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3);
void s_fk(int code);
void chang1();
void chang2();
int s_ys(int code);
void x_ys(int code);
int w_m(int x, int y, int v);
void s_W(int x, int y);
int c_pz();
void r_fk_t_m(int flag);
void d_fk(int flag);
void change(int type);
void c_h();

// Screens
void hollo();
void s_m();
void f_ck();
void r_all();

// Board log
void f_d();
void r_d();
