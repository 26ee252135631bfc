// Watching a logged game again: the board log read back snapshot by
// snapshot and shown in the game's own look, the well where the game draws
// it, what is shown and the keys beside it.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "log/reader.h"
#include "my-dropix.h"

namespace {

LogReader hf;               // the log being watched
std::string hf_name;        // its file's name
int hf_b[M_N][M_N];         // a snapshot as read, before it is shown

// Snapshots a second while playing, slowest to fastest.
const int RATES[] = {1, 2, 3, 5, 10, 15, 20, 30, 60};
constexpr int FIRST_RATE = 4; // 10 a second
constexpr int LOOK_MS = 500;  // how often the file is looked at for news

// Beside the well: what is shown, then the keys.
constexpr int PANEL_COLS = 24; // the widest text there, the Home/End line
const char* const KEYS[] = {
    "空格:播放/暂停", "←→:上一步/下一步", "↑↓:加快/减慢", "Home/End:第一步/最后一步", "q/Esc:退出",
};

struct View {
    long k = 0;            // the snapshot shown
    bool playing = false;
    int rate = FIRST_RATE; // index into RATES
    int since_ms = 0;      // when playing began at snapshot since_k, or the rate last changed
    long since_k = 0;
    int look_ms = 0;       // when to look at the file again
    bool gone = false;     // the file was emptied: a new game began
    std::string note;      // one line under the floor
};

// Ends the viewer on a fault found in a snapshot: the terminal goes back,
// then the line is said, with no control character of the file's name.
[[noreturn]] void fault(std::string what)
{
    for (char& c : what)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    con->quit(1, what.c_str());
    std::abort(); // quit() does not return
}

// Draws the cell (x, y) as the board holds it: a wall white, a piece in its
// colour, an empty cell erased as the game erases.
void d_cell(int x, int y)
{
    const int v = m[x][y];
    if (v == WALL)
        set_color(WHITE, BLACK);
    else if (v == 0)
        set_color(BLACK, BLACK);
    else
        x_ys(v);
    set_cocate(x, y);
    out("■");
}

// Blanks `cols` columns from console column `col` of `row`, and leaves the
// cursor at their start; only what then differs reaches the terminal.
void wipe(int col, int row, int cols)
{
    con->move(col, row);
    out("%*s", cols, "");
    con->move(col, row);
}

// The lines beside the well that change as the log is watched.
void d_state(View& v)
{
    std::string why;
    const long pieces = hf.pieces(v.k, &why);
    if (pieces < 0)
        fault(why);
    set_color(WHITE, BLACK);
    wipe(2 * X + 2, 2, PANEL_COLS);
    out("第 %ld / %ld 步", v.k + 1, hf.count());
    wipe(2 * X + 2, 4, PANEL_COLS);
    out("方块: %ld 个", pieces);
    set_color(YELLOW, BLACK);
    wipe(2 * X + 2, 5, PANEL_COLS);
    out("每秒 %d 步  %s", RATES[v.rate], v.playing ? "播放中" : "已暂停");
    set_color(WHITE, BLACK);
    wipe(0, Y, 2 * X + 2 + PANEL_COLS);
    out("%s", v.note.c_str());
}

// The whole screen: the well of snapshot k, the panel.
void d_all(View& v)
{
    command(CMD_CLS);
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++)
            if (m[x][y] != 0)
                d_cell(x, y);
    set_color(LIGHT_RED, BLACK);
    set_cocate(X + 1, 0);
    out("回放");
    set_color(WHITE, BLACK);
    set_cocate(X + 1, 3);
    out("井宽 %d，井高 %d", X, Y);
    for (int k = 0; k < 5; k++) {
        set_cocate(X + 1, 9 + k);
        out("%s", KEYS[k]);
    }
    d_state(v);
}

// Shows snapshot k: only the cells that differ from what is shown are drawn.
void show(View& v, long k)
{
    std::string why;
    if (hf.read(k, hf_b, &why) != LogReader::Outcome::Ok)
        fault(why);
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++)
            if (hf_b[x][y] != m[x][y]) {
                m[x][y] = hf_b[x][y];
                d_cell(x, y);
            }
    v.k = k;
    d_state(v);
}

// Takes the log as it stands now into the game's board and screen size.
void take(View& v)
{
    X = hf.width();
    Y = hf.height();
    f_sz_m();
    std::string why;
    if (hf.read(0, m, &why) != LogReader::Outcome::Ok)
        fault(why);
    v = View{};
    v.look_ms = con->now_ms() + LOOK_MS;
    if (hf.cut_short())
        v.note = "最后一步只写了一半，没有列出";
    w_ck(2 * X + 2 + PANEL_COLS, Y + 1);
    d_all(v);
}

// Looks at the file for snapshots added since, or a new game.
void look(View& v)
{
    v.look_ms = con->now_ms() + LOOK_MS;
    if (v.gone)
        return;
    switch (hf.refresh()) {
    case LogReader::Grew:
        d_state(v);
        break;
    case LogReader::Emptied:
        v.gone = true;
        v.playing = false;
        v.note = "记录已被清空，新的一局开始了；按 Home 或 End 看新的一局";
        d_state(v);
        break;
    case LogReader::Same:
        break;
    }
}

// Starts (again) counting the playing time from snapshot k now.
void rebase(View& v)
{
    v.since_ms = con->now_ms();
    v.since_k = v.k;
}

} // namespace

// Opens a board log and reads its first snapshot, before the terminal is
// touched; false with one line saying what is wrong.
bool hf_open(const char* name, std::string* fault_line)
{
    hf_name = name;
    return hf.open(name, fault_line) && hf.read(0, hf_b, fault_line) == LogReader::Outcome::Ok;
}

// Shows the opened log snapshot by snapshot until the player leaves;
// returns the exit status.
int hf_main()
{
    set_cursor(0);
    View v;
    take(v);
    for (;;) {
        const Key ch = con->key();
        const long last = hf.count() - 1;
        if (v.gone && (ch == Key::Home || ch == Key::End)) {
            // A new game in the file: watched from its start or its end.
            std::string why;
            if (hf.open(hf_name.c_str(), &why)) {
                take(v);
                if (ch == Key::End)
                    show(v, hf.count() - 1);
            }
            continue;
        }
        switch (ch) {
        case Key::Quit:
            return 0;
        case Key::Space:
            if (v.gone)
                break;
            v.playing = !v.playing;
            if (v.playing && v.k == last)
                show(v, 0); // played to the end: from the start again
            rebase(v);
            d_state(v);
            break;
        case Key::Right:
        case Key::Left:
            if (v.gone)
                break;
            v.playing = false;
            show(v, std::clamp(v.k + (ch == Key::Right ? 1 : -1), 0L, last));
            break;
        case Key::Up:
        case Key::Down:
            v.rate = std::clamp(v.rate + (ch == Key::Up ? 1 : -1), 0, static_cast<int>(std::size(RATES)) - 1);
            rebase(v);
            d_state(v);
            break;
        case Key::Home:
            show(v, 0);
            rebase(v);
            break;
        case Key::End:
            look(v);
            if (!v.gone) {
                v.playing = false;
                show(v, hf.count() - 1);
            }
            break;
        case Key::Small:
            w_ck(2 * X + 2 + PANEL_COLS, Y + 1);
            break;
        default:
            break;
        }
        const int now = con->now_ms();
        // Each snapshot has its own time from when playing began, so that
        // a late one does not make the others late.
        const int due = v.since_ms + static_cast<int>((v.k - v.since_k + 1) * 1000 / RATES[v.rate]);
        if (v.playing && v.k >= hf.count() - 1) {
            v.playing = false; // the last one: it waits here
            d_state(v);
        } else if (v.playing && now >= due) {
            show(v, v.k + 1);
            continue;
        }
        if (now >= v.look_ms) {
            look(v);
            continue;
        }
        if (ch == Key::None)
            con->wait_key(v.playing ? std::min(due, v.look_ms) : v.look_ms);
    }
}
