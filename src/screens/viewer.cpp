// Watching a logged game again: the board log read back snapshot by
// snapshot and shown in the game's own look, the well where the game draws
// it, what is shown and the keys beside it. The file may change while it
// is watched (a game played beside it, a new game emptying it): that is
// said, never taken for a fault of the file.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "screens/viewer.h"

#include "console/console.h"
#include "log/reader.h"

namespace {

std::unique_ptr<LogReader> hf; // the log being watched
std::string hf_name;           // its file's name
int hf_b[M_N][M_N];            // a snapshot as read, before it is shown

constexpr int FIRST_RATE = 4; // 10 a second
constexpr int LOOK_MS = 500;  // how often the file is looked at for news

// Beside the well: what is shown, then the keys.
const char* const KEYS[] = {
    "空格:播放/暂停", "←→:上一步/下一步", "↑↓:加快/减慢", "Home/End:第一步/最后一步", "q/Esc:退出",
};

// Notes under the floor; each fits the narrowest well's line, 46 columns.
const char GONE_NOTE[] = "记录已清空：新的一局；按 Home/End 观看";
const char EMPTY_NOTE[] = "新的一局还没有可看的快照";

struct View {
    long k = 0;            // the snapshot shown
    bool playing = false;
    int rate = FIRST_RATE; // index into HF_RATES
    int since_ms = 0;      // when playing began at snapshot since_k, or last resumed
    long since_k = 0;
    int look_ms = 0;       // when to look at the file again
    bool gone = false;     // the file was emptied or replaced: a new game began
    bool counting = false; // the pieces up to k are still being counted
    std::string note;      // one line under the floor
};

// Ends the viewer: the terminal goes back, then `why` is said, after the
// file's name as typed when `name` is set.
[[noreturn]] void leave(const char* why, const char* name = nullptr)
{
    con->quit(1, why, name);
    std::abort(); // quit() does not return
}

// Ends the viewer on a fault of the file.
[[noreturn]] void fault(const std::string& what)
{
    const bool named = what.compare(0, hf_name.size(), hf_name) == 0;
    leave(what.c_str() + (named ? hf_name.size() : 0), named ? hf_name.c_str() : nullptr);
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
void blank_at(int col, int row, int cols)
{
    con->move(col, row);
    out("%*s", cols, "");
    con->move(col, row);
}

// The file changed under a read: said, and the next Home or End follows it.
void d_gone(View& v)
{
    v.gone = true;
    v.playing = false;
    v.note = GONE_NOTE;
}

// The lines beside the well that change as the log is watched. The pieces
// are counted a slice at a time, so that keys are seen between slices
// however long the log.
void d_state(View& v)
{
    std::string why;
    // About 4 MB of the file a slice: a few milliseconds.
    const long slice = std::max(1L, static_cast<long>((4 << 20) / log_snapshot(X, Y, hf->crlf() ? 2 : 1)));
    const long pieces = v.gone ? LogReader::CHANGED : hf->pieces(v.k, &why, slice);
    if (pieces == LogReader::FAULT)
        fault(why);
    if (pieces == LogReader::CHANGED && !v.gone)
        d_gone(v);
    v.counting = pieces == LogReader::LATER;
    hf_d_panel(v.k, hf->count(), pieces, HF_RATES[v.rate], v.playing, v.note);
}

// The whole screen: the well of snapshot k, the panel.
void d_all(View& v)
{
    hf_d_frame(true);
    d_state(v);
}

// Shows snapshot k: only the cells that differ from what is shown are drawn.
// A file that changed under the read is said instead.
void show(View& v, long k)
{
    std::string why;
    const LogReader::Outcome got = hf->read(k, hf_b, &why);
    if (got == LogReader::Outcome::Fault)
        fault(why);
    if (got == LogReader::Outcome::Changed) {
        d_gone(v);
        d_state(v);
        return;
    }
    hf_d_board(hf_b);
    v.k = k;
    d_state(v);
}

// Starts (again) counting the playing time from the snapshot shown, now.
void rebase(View& v)
{
    v.since_ms = con->now_ms();
    v.since_k = v.k;
}

// Takes the log now open into the game's board and screen size.
void take(View& v)
{
    X = hf->width();
    Y = hf->height();
    f_sz_m();
    v = View{};
    std::string why;
    const LogReader::Outcome got = hf->read(0, m, &why);
    if (got == LogReader::Outcome::Fault)
        fault(why);
    if (got == LogReader::Outcome::Changed)
        d_gone(v);
    v.look_ms = con->now_ms() + LOOK_MS;
    if (hf->cut_short())
        v.note = HF_CUT_NOTE;
    con->play(2 * X + 2 + HF_PANEL_COLS, Y + 1, 2 * X + 2 + HF_PANEL_COLS);
    d_all(v);
}

// Follows a new game in the file: opened anew, and taken only when it has
// something to show; else what is shown stays, and that is said.
bool follow(View& v)
{
    auto next = std::make_unique<LogReader>();
    std::string why;
    if (!next->open(hf_name.c_str(), &why)) {
        v.note = EMPTY_NOTE;
        d_state(v);
        return false;
    }
    hf = std::move(next);
    take(v);
    return true;
}

// Looks at the file for snapshots added since, or a new game.
void look(View& v)
{
    v.look_ms = con->now_ms() + LOOK_MS;
    if (v.gone)
        return;
    const LogReader::Change c = hf->refresh();
    if (c == LogReader::Emptied) {
        d_gone(v);
    } else if (v.note == HF_CUT_NOTE && !hf->cut_short()) {
        v.note.clear(); // the rest of the snapshot came
    } else if (c == LogReader::Same) {
        return;
    }
    d_state(v);
}

} // namespace

// Under the floor, as the notes above.
const char HF_CUT_NOTE[] = "最后一步只写了一半，没有列出";

void hf_d_frame(bool guide)
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
    for (int k = 0; guide && k < 5; k++) {
        set_cocate(X + 1, 9 + k);
        out("%s", KEYS[k]);
    }
}

void hf_d_board(const int (*b)[M_N])
{
    for (int x = 0; x < X; x++) {
        if (std::memcmp(b[x], m[x], sizeof m[x][0] * static_cast<size_t>(Y)) == 0)
            continue;
        for (int y = 0; y < Y; y++)
            if (b[x][y] != m[x][y]) {
                m[x][y] = b[x][y];
                d_cell(x, y);
            }
    }
}

void hf_d_panel(long k, long n, long pieces, int rate, bool playing, const std::string& note)
{
    set_color(WHITE, BLACK);
    blank_at(2 * X + 2, 2, HF_PANEL_COLS);
    out("第 %ld / %ld 步", k + 1, n);
    blank_at(2 * X + 2, 4, HF_PANEL_COLS);
    if (pieces >= 0)
        out("方块: %ld 个", pieces);
    else if (pieces == LogReader::LATER)
        out("方块: 计算中…");
    set_color(YELLOW, BLACK);
    blank_at(2 * X + 2, 5, HF_PANEL_COLS);
    out("每秒 %d 步  %s", rate, playing ? "播放中" : "已暂停");
    set_color(WHITE, BLACK);
    blank_at(0, Y, 2 * X + 2 + HF_PANEL_COLS);
    out("%s", note.c_str());
}

// Opens a board log (data.txt unless named) and reads its first snapshot,
// before the terminal is touched; false with one line saying what is wrong.
bool hf_open(const std::vector<const char*>& operands, std::string* fault_line)
{
    const char* name = operands.empty() ? "data.txt" : operands[0];
    hf_name = name;
    hf = std::make_unique<LogReader>();
    return hf->open(name, fault_line) && hf->read(0, hf_b, fault_line) == LogReader::Outcome::Ok;
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
        const long last = hf->count() - 1;
        switch (ch) {
        case Key::Quit:
            return 0;
        case Key::Ended:
            leave("输入已结束");
        case Key::Resumed:
            // Time went by unseen: playing goes on from where it stopped.
            rebase(v);
            break;
        case Key::Home:
        case Key::End:
            if (v.gone) {
                if (follow(v) && ch == Key::End)
                    show(v, hf->count() - 1);
            } else if (ch == Key::Home) {
                show(v, 0);
                rebase(v);
            } else {
                look(v);
                if (!v.gone) {
                    v.playing = false;
                    show(v, hf->count() - 1);
                }
            }
            break;
        case Key::Space:
        case Key::Right:
        case Key::Left:
            if (v.gone) {
                v.note = GONE_NOTE; // nothing but the new game to show
                d_state(v);
            } else if (ch == Key::Space) {
                v.playing = !v.playing;
                if (v.playing && v.k == last)
                    show(v, 0); // played to the end: from the start again
                rebase(v);
                d_state(v);
            } else {
                v.playing = false;
                show(v, std::clamp(v.k + (ch == Key::Right ? 1 : -1), 0L, last));
            }
            break;
        case Key::Up:
        case Key::Down:
            v.rate = std::clamp(v.rate + (ch == Key::Up ? 1 : -1), 0, static_cast<int>(std::size(HF_RATES)) - 1);
            rebase(v);
            d_state(v);
            break;
        default:
            break;
        }
        const int now = con->now_ms();
        // Each snapshot has its own time from when playing began, so that
        // a late one does not make the others late.
        const int due = v.since_ms + static_cast<int>((v.k - v.since_k + 1) * 1000 / HF_RATES[v.rate]);
        if (v.playing && v.k >= hf->count() - 1) {
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
        if (v.counting) {
            d_state(v); // the next slice; keys are looked at before the one after
            continue;
        }
        if (ch == Key::None)
            con->wait_key(v.playing ? std::min(due, v.look_ms) : v.look_ms);
    }
}
