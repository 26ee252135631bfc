// The console operations as a terminal shows them, the two input decoders
// behind them, and the console's parts alone.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "console/answers.h"
#include "console/keys.h"
#include "platform/windows/codes.h"
#include "console/painter.h"
#include "console/picture.h"
#include "console/questions.h"
#include "console/utf8.h"
#include "fixture.h"

using Console_ = GameTest;

TEST_F(Console_, EverySixteenColoursShowsAsItsConsoleNumberOnBlack)
{
    command(1);
    for (int c = 0; c < 16; c++) {
        set_color(c, 0);
        out("■");
    }
    fc->flush();
    for (int c = 0; c < 16; c++) {
        Cell cell = fc->screen.cell(2 * c, 0);
        EXPECT_EQ(cell.ch, "■");
        EXPECT_EQ(cell.fg, c) << "colour " << c;
        EXPECT_EQ(cell.bg, 0) << "background must be black, not the default";
    }
    // The screen above maps the terminal's palette back with the console's
    // own rule; the terminal's own palette shows the rule right: console 9
    // is light blue (bright blue, 12), 12 light red (9), 4 red (1), 1 blue (4).
    for (auto [console, palette] : {std::pair{9, 12}, std::pair{12, 9}, std::pair{4, 1}, std::pair{1, 4}})
        EXPECT_EQ(fc->screen.palette(2 * console, 0), palette) << console;
}

TEST_F(Console_, CellsMapToTwoColumnsAndClearingPaintsBlack)
{
    // In play, text goes where the game put the cursor.
    fc->play(80, 40, 80);
    set_cocate(3, 7);
    set_color(12, 0);
    out("分数");
    fc->flush();
    EXPECT_EQ(fc->screen.cell(6, 7).ch, "分");
    EXPECT_EQ(fc->screen.cell(6, 7).fg, 12);
    command(1);
    out("x");
    fc->flush();
    EXPECT_EQ(fc->screen.cell(6, 7).ch, " ");
    EXPECT_EQ(fc->screen.cell(0, 0).ch, "x");
    EXPECT_EQ(fc->screen.cell(50, 30).bg, 0);
    // At a question, clearing leaves the terminal's cursor home.
    fc->ask();
    out("分数");
    command(1);
    fc->flush();
    EXPECT_EQ(fc->screen.cell(0, 0).ch, " ");
    EXPECT_EQ(fc->screen.cursor_col(), 0);
    EXPECT_EQ(fc->screen.cursor_row(), 0);
    EXPECT_EQ(fc->screen.cell(50, 30).bg, 0);
}

TEST_F(Console_, EveryKindOfColourChangeShowsOnTheScreen)
{
    // From colours someone else left: the first colour, the foreground
    // alone, the background alone, both.
    fc->screen.feed("\x1b[35;42m");
    const int pens[][2] = {{12, 0}, {14, 0}, {14, 1}, {10, 4}};
    for (const auto& p : pens) {
        set_color(p[0], p[1]);
        out("x");
    }
    fc->flush();
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(fc->screen.cell(k, 0).fg, pens[k][0]) << k;
        EXPECT_EQ(fc->screen.cell(k, 0).bg, pens[k][1]) << k;
    }
    // Blanks: the first background after the terminal was forgotten (the
    // play screen wiped black), then a background alone.
    fc->ask();
    fc->play(80, 24, 80);
    set_color(3, 5);
    out(" ");
    fc->flush();
    EXPECT_EQ(fc->screen.cell(10, 10).bg, 0);
    EXPECT_EQ(fc->screen.cell(0, 0).bg, 5);
}

TEST_F(Console_, OtherCommandsDoNothing)
{
    fc->flush();
    size_t before = fc->raw.size();
    command(0);
    command(3);
    command(-1);
    fc->flush();
    EXPECT_EQ(fc->raw.size(), before);
}

TEST_F(Console_, PauseWaitsBelowTheFloorForAKeyTypedAfterIt)
{
    Y = 15;
    fc->play(80, 16, 80);
    fc->press(0, "\x1b[B");     // typed before the pause: does not end it
    fc->press(700, "\x1b[A");   // ends it, consumed whole
    fc->press(900, " ");
    fc->t = 100;
    set_cocate(5, 3);
    out("x");
    command(2);
    fc->flush();
    EXPECT_EQ(fc->t, 700);
    EXPECT_EQ(fc->screen.row(15), "请按任意键继续. . .");
    EXPECT_EQ(fc->screen.cell(0, 15).fg, 15);
    EXPECT_LE(fc->screen.row(15).size(), 32u);
    // Nothing of the arrow is left for the game; the space comes later.
    EXPECT_EQ(fc->key(), Key::None);
    fc->t = 900;
    EXPECT_EQ(fc->key(), Key::Space);
}

TEST_F(Console_, InputIntRepeatsUntilInRange)
{
    fc->lines = "5\n200\n20\n";
    EXPECT_EQ(input_int(10, 100), 20);
    fc->flush();
    std::string s = fc->screen.text();
    const std::string first = "请输入 10~100 的数值,并按回车确定;";
    const std::string again = "输入错误，请重新输入 10~100 的数值,并按回车确定;";
    EXPECT_EQ(fc->screen.row(0), first);
    EXPECT_EQ(fc->screen.row(1), again);
    EXPECT_EQ(fc->screen.row(2), again);
    EXPECT_EQ(fc->screen.row(3), "");
}

TEST_F(Console_, InputIntTakesBoundsAndWhitespaceSeparatedAnswers)
{
    fc->lines = "0 1\n\n  20 30";
    EXPECT_EQ(input_int(0, 1), 0);
    EXPECT_EQ(input_int(0, 1), 1);
    EXPECT_EQ(input_int(10, 100), 20);
    EXPECT_EQ(input_int(15, 100), 30);
    fc->flush();
    EXPECT_EQ(fc->screen.find_row("输入错误"), -1);
}

TEST_F(Console_, InputIntRefusesTextAndOverflowAndEndsAtEndOfInput)
{
    // Text is dropped to the end of its line; 4294967316 would wrap to 20.
    fc->lines = "abc 50\n4294967316\n-2147483649\n20\n";
    EXPECT_EQ(input_int(10, 100), 20);
    fc->flush();
    int errors = 0;
    for (int r = 0; r < 10; r++)
        errors += fc->screen.row(r).rfind("输入错误", 0) == 0;
    EXPECT_EQ(errors, 3);

    fc->lines += "7";
    try {
        input_int(10, 100);
        FAIL() << "end of input must end the program";
    } catch (const FakeExit& e) {
        EXPECT_EQ(e.status, 1);
    }
}

TEST_F(Console_, TextAfterANumberIsWhatTheNextQuestionReads)
{
    fc->lines = "20abc\n16\n15.5\n17\n1x\n30\n";
    EXPECT_EQ(input_int(10, 100), 20);
    EXPECT_EQ(input_int(15, 100), 16);
    EXPECT_EQ(input_int(10, 100), 15);
    EXPECT_EQ(input_int(15, 100), 17);
    EXPECT_EQ(input_int(0, 1), 1);
    EXPECT_EQ(input_int(10, 100), 30);
    fc->flush();
    // "abc", ".5" and "x" are each one wrong entry, at the question after.
    const char* ask = "请输入 %d~%d 的数值,并按回车确定;";
    const char* again = "输入错误，请重新输入 %d~%d 的数值,并按回车确定;";
    const struct {
        const char* fmt;
        int low, high;
    } want[] = {{ask, 10, 100}, {ask, 15, 100}, {again, 15, 100}, {ask, 10, 100}, {ask, 15, 100},
                {again, 15, 100}, {ask, 0, 1}, {ask, 10, 100}, {again, 10, 100}};
    for (int r = 0; r < 9; r++) {
        char line[128];
        std::snprintf(line, sizeof line, want[r].fmt, want[r].low, want[r].high);
        EXPECT_EQ(fc->screen.row(r), line) << r;
    }
    EXPECT_EQ(fc->screen.row(9), "");
}

TEST_F(Console_, AtAQuestionTheLineShownIsTheLineTypedInAGbkTerminal)
{
    // GBK has no emoji: each shows as one "?", and counts one column.
    use(80, 24, "GBK");
    fc->typed(true);
    std::string emoji;
    for (int k = 0; k < 90; k++)
        emoji += "\xf0\x9f\x98\x80";
    fc->lines = emoji + "\n" + emoji.substr(0, 120) + "\x15" "20\n";
    EXPECT_EQ(input_int(10, 100), 20);
    fc->flush();
    EXPECT_EQ(fc->screen.row(1), std::string(79, '?'));
    EXPECT_NE(fc->screen.row(2), "") << "one wrong entry, said in GBK";
    EXPECT_EQ(fc->screen.row(3), "20");
    EXPECT_EQ(fc->screen.row(4), "");
}

TEST_F(Console_, BackspaceOverAWideCharacterAfterAnotherTakesItWhole)
{
    fc->typed(true);
    fc->lines = "宽高\x7f" "20\n30\n";
    EXPECT_EQ(input_int(10, 100), 30);
    fc->flush();
    EXPECT_EQ(fc->screen.row(1), "宽20");
    EXPECT_EQ(fc->screen.row(2), "输入错误，请重新输入 10~100 的数值,并按回车确定;");
    EXPECT_EQ(fc->screen.row(3), "30");
    EXPECT_EQ(fc->screen.row(4), "");
}

TEST_F(Console_, AQuestionIsDrawnAgainAfterAResizeHoweverMuchItShowed)
{
    // Some 280 KB of refusals, then the terminal is resized.
    for (int k = 0; k < 4000; k++)
        fc->lines += "x\n";
    fc->lines += "20\n";
    EXPECT_EQ(input_int(10, 100), 20);
    fc->resize_at(fc->t, 80, 24);
    fc->lines = "30\n";
    fc->screen.feed("\x1b[2J"); // only a redraw brings the picture back
    EXPECT_EQ(input_int(15, 100), 30);
    fc->flush();
    // The last screenful of it, the new question at the bottom.
    for (int r = 0; r < 22; r++)
        EXPECT_EQ(fc->screen.row(r), "输入错误，请重新输入 10~100 的数值,并按回车确定;") << r;
    EXPECT_EQ(fc->screen.row(22), "请输入 15~100 的数值,并按回车确定;");
}

TEST(Answers, ANumberIsReadAsPercentDReadsItAndTextWithoutOneIsOneWrongEntry)
{
    // The first entry of s, read to its end: its kind, value and the bytes
    // it used.
    struct Read {
        int kind, value;
        size_t used;
    };
    auto p = [](const char* s) {
        Answers a;
        std::string in = s;
        int v = 0;
        const int kind = a.next(in, true, &v);
        return Read{kind, v, std::strlen(s) - in.size()};
    };
    Read r = p(" \t\v\f\r\n-42 7");
    EXPECT_EQ(r.kind, ANSWER);
    EXPECT_EQ(r.value, -42);
    EXPECT_EQ(r.used, 9u);
    EXPECT_EQ(p("+7").value, 7);
    EXPECT_EQ(p("2147483647").value, 2147483647);
    EXPECT_EQ(p("-2147483648").value, -2147483647 - 1);
    EXPECT_EQ(p("2147483648").kind, WRONG);
    EXPECT_EQ(p("99999999999999999999999 5").kind, WRONG);
    EXPECT_EQ(p("99999999999999999999999 5").used, 23u);
    // What follows the digits is left for the next read.
    for (auto [s, v, used] : {std::tuple{"20abc\n", 20, 2u}, {"15.5\n", 15, 2u}, {"1e2", 1, 1u}, {"0x10", 0, 1u}}) {
        r = p(s);
        EXPECT_EQ(r.kind, ANSWER) << s;
        EXPECT_EQ(r.value, v) << s;
        EXPECT_EQ(r.used, used) << s;
    }
    // No number at the start: one wrong entry, and the rest of its line goes.
    for (const char* s : {"abc 5\n7", ".5 5\n7", "x5\n7"}) {
        r = p(s);
        EXPECT_EQ(r.kind, WRONG) << s;
        Answers a;
        std::string in = s;
        int v = 0;
        a.next(in, true, &v);
        EXPECT_EQ(a.next(in, true, &v), ANSWER) << s;
        EXPECT_EQ(v, 7) << s;
    }
    // A sign with no digit after it uses up only the sign, as "%d" does.
    for (const char* s : {"- 5\n7", "+\n7", "-x\n7"}) {
        r = p(s);
        EXPECT_EQ(r.kind, WRONG) << s;
        EXPECT_EQ(r.used, 1u) << s;
    }
    EXPECT_EQ(p("x").used, 1u);
    EXPECT_EQ(p(" \n ").kind, ENDED);
    // Blanks are dropped as they come: a long run of them before a number
    // keeps nothing back, and the number is still read.
    Answers a;
    std::string in(5000, ' ');
    int v = 0;
    EXPECT_EQ(a.next(in, false, &v), Answers::NONE);
    EXPECT_TRUE(in.empty());
    in = "20\n";
    EXPECT_EQ(a.next(in, false, &v), ANSWER);
    EXPECT_EQ(v, 20);
    // A number cut where the input stops for now is read whole once its
    // end comes.
    in = "1";
    EXPECT_EQ(a.next(in, false, &v), Answers::NONE);
    in = "23 ";
    EXPECT_EQ(a.next(in, false, &v), ANSWER);
    EXPECT_EQ(v, 123);
    // More than a mebibyte that answers nothing ends the input.
    in = "x" + std::string((1 << 20) + 1, '\0');
    EXPECT_EQ(a.next(in, false, &v), WRONG);
    EXPECT_EQ(a.next(in, false, &v), ENDED);
}

TEST(DecodeKey, ArrowsSpaceAndEverythingElse)
{
    auto d = [](const std::string& s, bool final = false) {
        return decode_key(reinterpret_cast<const unsigned char*>(s.data()), s.size(), final);
    };
    struct {
        const char* bytes;
        Key key;
        size_t used;
    } cases[] = {
        {"\x1b[A", Key::Up, 3},       {"\x1b[B", Key::Down, 3},     {"\x1b[C", Key::Right, 3},
        {"\x1b[D", Key::Left, 3},     {"\x1bOA", Key::Up, 3},       {"\x1bOD", Key::Left, 3},
        {" ", Key::Space, 1},         {"a", Key::Other, 1},         {"\x1b[15~", Key::Other, 5},
        {"\x1b[1;5A", Key::Other, 6}, {"\x1bOP", Key::Other, 3},    {"\xe4\xb8\xad", Key::Other, 3},
        {"\x1b\x1b[A", Key::Quit, 1}, {"\x1bx", Key::Other, 2},    {"q", Key::Quit, 1},
        {"\x1b[H", Key::Home, 3},     {"\x1b[1~", Key::Home, 4},   {"\x1bOH", Key::Home, 3},
        {"\x1b[F", Key::End, 3},      {"\x1b[4~", Key::End, 4},    {"\x1b[8~", Key::End, 4},    {"\xff", Key::Other, 1},
        {"\xe4" "a", Key::Other, 1},  {"\xe0\x80\x80", Key::Other, 1}, {"\xed\xa0\x80", Key::Other, 1},
        {"\xf4\x90\x80\x80", Key::Other, 1}, {"\xc0\xaf", Key::Other, 1}, {"\xf0\x9f\x98\x80", Key::Other, 4},  {"\x1b[\x1b[A", Key::Other, 2}, {"\r", Key::Other, 1},
    };
    for (const auto& c : cases) {
        KeyRead k = d(c.bytes);
        EXPECT_EQ(k.key, c.key) << c.bytes + 1;
        EXPECT_EQ(k.used, c.used) << c.bytes + 1;
    }
    // Split sequences wait for the rest, unless nothing more will come.
    for (const char* part : {"\x1b", "\x1b[", "\x1bO", "\x1b[1;", "\xe4\xb8"}) {
        EXPECT_EQ(d(part).key, Key::None);
        KeyRead k = d(part, true);
        EXPECT_EQ(k.key, std::strlen(part) == 1 ? Key::Quit : Key::Other) << part + 1; // a lone Esc
        // A sequence cut short goes whole; broken UTF-8 byte by byte.
        EXPECT_EQ(k.used, part[0] == '\x1b' ? std::strlen(part) : 1u);
    }
    EXPECT_EQ(d("").key, Key::None);
    // An endless sequence is cut rather than held.
    std::string endless = "\x1b[" + std::string(100, '1');
    EXPECT_EQ(d(endless).key, Key::Other);
}

TEST_F(Console_, GbkLocaleGetsGbkBytes)
{
    use(80, 24, "GBK");
    out("游戏结束■");
    fc->flush();
    EXPECT_NE(fc->raw.find("\xd3\xce\xcf\xb7\xbd\xe1\xca\xf8\xa1\xf6"), std::string::npos);
    EXPECT_EQ(fc->raw.find("游戏"), std::string::npos);
}

TEST_F(Console_, TextAfterANarrowArrowKeepsItsTwoColumnPlace)
{
    // The probe, like many terminals, draws arrows one column wide.
    command(1);
    out("↑:旋转");
    fc->flush();
    EXPECT_EQ(fc->screen.cell(0, 0).ch, "↑");
    EXPECT_EQ(fc->screen.cell(2, 0).ch, ":");
    EXPECT_EQ(fc->screen.cell(3, 0).ch, "旋");
}

// ---- The parts alone ------------------------------------------------------

namespace {

// A terminal of cols x rows as a painter draws on it: what each cell shows,
// "■" and "→" drawn `amb` columns wide, what it was asked to do counted and
// priced as the test sets. A glyph over one half of a wide one leaves "!"
// in the other half; a glyph with no room counts as a fault.
class Term : public Painter {
public:
    struct Look {
        char32_t ch = '~'; // not known: what was there before
        int fg = -1, bg = -1;
        int part = 1; // 2: the left half of a wide glyph, 0: its right half
    };

    Term(int cols, int rows, int amb) : amb(amb) { resize(cols, rows); }
    // Resized, what it shows not known.
    void resize(int c, int r)
    {
        cols = c;
        rows = r;
        grid.assign(static_cast<size_t>(c * r), Look{});
        wrote.assign(grid.size(), 0);
    }
    // Something else wrote over row r.
    void garble(int r) { std::fill_n(&at(0, r), cols, Look{}); }
    Look& at(int c, int r) { return grid[static_cast<size_t>(r * cols + c)]; }
    const Look& at(int c, int r) const { return grid[static_cast<size_t>(r * cols + c)]; }
    int written(int c, int r) const { return wrote[static_cast<size_t>(r * cols + c)]; }
    // Row r's text, trailing blanks dropped.
    std::string text(int r) const
    {
        std::string s;
        for (int c = 0; c < cols; c++)
            if (at(c, r).part != 0)
                utf8_put(s, at(c, r).ch);
        return s.erase(s.find_last_not_of(' ') + 1);
    }

    void pen(int f, int b) override
    {
        spent += cost_pen(f, b);
        fg = f;
        bg = b;
    }
    void pen_back(int b) override
    {
        spent += cost_pen_back(b);
        bg = b;
    }
    void go(int c, int r) override
    {
        r = r < 0 ? row : r;
        spent += cost_go(c, r);
        moves += c != col || r != row;
        col = c;
        row = r;
    }
    void put(std::string_view s) override
    {
        for (size_t k = 0; k < s.size();) {
            const char32_t ch = utf8_next(s, k);
            spent += cost_put(ch);
            if (ch == '\n' && ++row == rows) {
                grid.erase(grid.begin(), grid.begin() + cols);
                grid.resize(static_cast<size_t>(cols * rows), Look{' ', fg, bg});
                row--;
            }
            if (ch == '\n' || ch == '\r') {
                col = 0;
                continue;
            }
            const int w = ch < 0x80 ? 1 : ch == U'■' || ch == U'→' ? amb : 2;
            if (col < 0 || row < 0 || col + w > cols) {
                faults++;
                col = -1;
                continue;
            }
            for (int h = 0; h < w; h++) {
                set(col + h, {ch, fg, bg, w == 1 ? 1 : 2 - 2 * h});
                wrote[static_cast<size_t>(row * cols + col + h)]++;
            }
            col += w;
        }
    }
    void erase(int n) override
    {
        spent += blank_cost;
        blanks++;
        for (int c = col; c < std::min(col + n, cols); c++)
            set(c, {' ', fg, bg});
    }
    void wipe() override
    {
        std::fill(grid.begin(), grid.end(), Look{' ', fg, bg});
        col = row = 0;
    }
    void erase_line() override
    {
        col = 0;
        erase(cols);
    }
    void show_cursor(bool) override {}
    bool scroll_down(int top, int bottom, int n) override
    {
        spent += 20;
        scrolls++;
        for (int r = bottom; r >= top; r--)
            for (int c = 0; c < cols; c++)
                at(c, r) = r - n >= top ? at(c, r - n) : Look{' ', fg, bg};
        col = row = -1;
        return true;
    }
    bool erases_in(int) const override { return true; }
    bool try_begin() override
    {
        tried.emplace_back(*this);
        return true;
    }
    long try_end() override
    {
        const long cost = spent - tried.back().spent;
        const std::vector<Term> keep = std::move(tried);
        *this = keep.back();
        tried.assign(keep.begin(), keep.end() - 1);
        return cost;
    }
    void screen(int, int, int) override {}
    void forget() override { col = row = fg = bg = -1; }
    int width_of(std::string_view ch) const override { return static_cast<unsigned char>(ch[0]) < 0x80 ? 1 : 2; }
    int cost_go(int c, int r) const override { return c == col && r == row ? 0 : go_cost; }
    int cost_pen(int f, int b) const override { return f == fg && b == bg ? 0 : 5; }
    int cost_pen_back(int b) const override { return b == bg ? 0 : 5; }
    int cost_put(char32_t ch) const override { return ch < 0x80 ? 1 : 3; }
    int cost_erase(int) const override { return blank_cost; }

    int cols = 0, rows = 0, amb;
    std::vector<Look> grid;
    std::vector<int> wrote; // glyphs put in each cell
    int col = -1, row = -1, fg = -1, bg = -1;
    int moves = 0, blanks = 0, faults = 0, scrolls = 0;
    int go_cost = 3, blank_cost = 3;
    long spent = 0;          // what was drawn cost, as priced
    std::vector<Term> tried; // as it was where each try began

private:
    void set(int c, Look v)
    {
        Look& old = at(c, row);
        if (old.part == 2 && c + 1 < cols)
            at(c + 1, row) = {'!'};
        if (old.part == 0 && c > 0)
            at(c - 1, row) = {'!'};
        old = v;
    }
};

// The terminal shows the picture cell for cell, as far as it reaches: a
// wide glyph with no room for its right half as a blank, the right half
// of a narrow-drawn "■" as a blank.
::testing::AssertionResult shows(const Term& t, const Picture& p)
{
    const int n = std::min(t.cols, p.cols()), m = std::min(t.rows, p.rows());
    for (int r = 0; r < m; r++)
        for (int c = 0; c < n; c++) {
            const Picture::Cell want = p.at(c, r);
            const Term::Look& got = t.at(c, r);
            auto narrow = [&](char32_t ch) { return ch < 0x80 || (t.amb == 1 && (ch == U'■' || ch == U'→')); };
            bool ok;
            if (want.ch == ' ' || (want.ch == 0 && narrow(p.at(c - 1, r).ch)) || (want.ch >= 0x80 && c + 1 == n))
                ok = got.ch == ' ' && got.bg == want.bg;
            else if (want.ch == 0)
                ok = got.part == 0 && got.bg == want.bg;
            else
                ok = got.ch == want.ch && got.fg == want.fg && got.bg == want.bg && got.part == (narrow(want.ch) ? 1 : 2);
            if (!ok)
                return ::testing::AssertionFailure()
                       << "cell " << c << "," << r << " shows " << static_cast<unsigned>(got.ch) << " in " << got.fg << "/"
                       << got.bg << " part " << got.part << ", the picture " << static_cast<unsigned>(want.ch) << " in "
                       << want.fg << "/" << want.bg;
        }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(Picture, AfterEverySendTheTerminalShowsThePicture)
{
    // Glyphs of every width drawn over each other's halves, blanks, rows
    // the terminal lost, a terminal narrower or shorter than the picture,
    // the width of "■" not known, then known; the painter's prices vary,
    // so that gaps are written over and tails erased, or not.
    const char* glyphs[] = {"a", "b", " ", "宽", "高", "■", "→"};
    for (int truth : {1, 2})
        for (bool known : {false, true}) {
            std::mt19937 rng(static_cast<unsigned>(10 * truth + known));
            auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
            Picture pic;
            pic.resize(12, 5);
            Term t(12, 5, truth);
            int amb = known ? truth : 0;
            for (int step = 0; step < 4000; step++) {
                const int op = pick(100);
                if (op < 75) {
                    pic.attr(pick(4), pick(3));
                    pic.move(pick(14) - 1, pick(5));
                    for (int k = pick(3); k >= 0; k--)
                        pic.text(glyphs[pick(7)]);
                } else if (op < 77) {
                    pic.clear();
                } else if (op < 81) {
                    const int r = pick(t.rows);
                    t.garble(r);
                    pic.lose_row(r);
                } else if (op < 83) {
                    t.resize(8 + pick(6), 3 + pick(3));
                    pic.lose(); // as every resize loses the screen
                } else if (op < 85) {
                    amb = truth; // the terminal's answer came
                } else {
                    t.go_cost = 1 + pick(6);
                    t.blank_cost = 1 + pick(6);
                    pic.send(t, t.cols, t.rows, amb);
                    ASSERT_EQ(t.faults, 0) << step;
                    ASSERT_TRUE(shows(t, pic)) << "step " << step << ", " << t.cols << " x " << t.rows << ", amb " << amb;
                }
            }
        }
}

TEST(Picture, AGapIsWrittenOverAndBlanksErasedOnlyWhenThatCostsLess)
{
    // The row "abcdefghij" drawn, then some of it blanked (from, to) and
    // its last cell changed, or not; a move costs 1 or 9, an erase 3.
    const struct {
        int from, to;
        bool last;
        int go;
        bool merged, erased;
    } cases[] = {
        {0, 9, false, 1, false, true},  // ten blanks at the end: one erase
        {8, 9, false, 1, false, false}, // two: cheaper put
        {0, 6, true, 1, false, true},   // seven, then a move to the last cell
        {0, 5, true, 1, false, false},  // six: the erase and the move cost as much
        {0, 5, true, 9, true, false},   // the gap up to the last cell written over
    };
    for (const auto& k : cases) {
        Picture pic;
        pic.resize(10, 1);
        Term t(10, 1, 1);
        t.go_cost = k.go;
        pic.text("abcdefghij");
        pic.send(t, 10, 1, 1);
        std::fill(t.wrote.begin(), t.wrote.end(), 0);
        t.moves = 0;
        pic.move(k.from, 0);
        pic.text(std::string(static_cast<size_t>(k.to - k.from + 1), ' '));
        if (k.last) {
            pic.move(9, 0);
            pic.text("J");
        }
        pic.send(t, 10, 1, 1);
        EXPECT_TRUE(shows(t, pic)) << k.from << "-" << k.to;
        EXPECT_EQ(t.blanks, k.erased) << k.from << "-" << k.to;
        EXPECT_EQ(t.written(k.from, 0), !k.erased) << k.from << "-" << k.to;
        if (k.last && k.to < 8) {
            EXPECT_EQ(t.written(8, 0), k.merged) << k.from << "-" << k.to;
        }
    }
}

TEST(Typed, AKeyCutShortWaitsForItsRestUntilItsDeadlineAndPeekingSpoilsNothing)
{
    Typed in;
    in.bytes() = "\x1b";
    EXPECT_EQ(in.first(0, false).key, Key::None);
    EXPECT_EQ(in.first(29, false).key, Key::None); // looking again does not move the deadline
    EXPECT_EQ(in.due(), 30);
    EXPECT_EQ(in.first(30, false).key, Key::Quit); // a lone Esc, still there
    EXPECT_EQ(in.first(30, true).key, Key::Quit);
    EXPECT_TRUE(in.empty());
    EXPECT_EQ(in.due(), -1);
    // A sequence whose rest comes in time is one key; the deadline of the
    // next starts when that one came.
    in.bytes() = "\x1b[";
    EXPECT_EQ(in.first(100, true).key, Key::None);
    in.bytes() += "A\x1bO";
    EXPECT_EQ(in.first(120, true).key, Key::Up);
    EXPECT_EQ(in.first(200, true).key, Key::None);
    EXPECT_EQ(in.due(), 230);
    // Nothing more will come: it is a key at once.
    in.set_ended(true);
    EXPECT_EQ(in.first(200, true).key, Key::Other);
    // What is read ahead stays bounded.
    in.bytes().assign(4095, 'a');
    EXPECT_EQ(in.room(), 1u);
    in.bytes() += "bc";
    EXPECT_EQ(in.room(), 0u);
}

TEST(Questions, TheLineTypedIsEchoedEditedAndDrawnAgainAfterAResize)
{
    Term t(12, 5, 2);
    Questions q(t);
    Typed in;
    std::string entered;
    q.clear(7);
    q.text("one\ntwo\nthree\n", 7);
    auto type = [&](const char* keys) {
        in.bytes() += keys;
        return q.typed(in, 0, t.cols, entered);
    };
    EXPECT_EQ(type("ab宽高"), Questions::WAITING);
    EXPECT_EQ(t.text(3), "ab宽高");
    type("\x7f");
    EXPECT_EQ(t.text(3), "ab宽");
    // The line never reaches the last column: what does not fit is refused.
    type("12345678");
    EXPECT_EQ(t.text(3), "ab宽1234567");
    type("\x15");
    EXPECT_EQ(t.text(3), "");
    type("0123456789宽x!");
    EXPECT_EQ(t.text(3), "0123456789x");
    EXPECT_EQ(t.faults, 0);
    // On a smaller terminal the last rows come back, the line's end after a mark.
    t.resize(6, 2);
    q.redraw(2, 6, true);
    EXPECT_EQ(t.text(0), "three");
    EXPECT_EQ(t.text(1), "<789x");
    EXPECT_EQ(type("\r"), Questions::ENTERED);
    EXPECT_EQ(entered, "0123456789x\n");
    EXPECT_EQ(t.faults, 0);
}

TEST(DecodeKey, TheWindowsConsolesCodesAreTheBytesATerminalSends)
{
    // Only 224 starts a key of two codes: the keypad's arrows with NumLock
    // off come as 0 then 72, and the 72 is a key of its own, not an arrow.
    EXPECT_TRUE(two_codes(224));
    EXPECT_FALSE(two_codes(0));
    EXPECT_EQ(console_key(0, 0), "");
    EXPECT_EQ(console_key(72, 0), "H");
    for (auto [second, bytes] : {std::pair{72, "\x1b[A"}, {80, "\x1b[B"}, {77, "\x1b[C"}, {75, "\x1b[D"},
                                 {71, "\x1b[H"}, {79, "\x1b[F"}, {83, "\x1b[~"}}) {
        EXPECT_EQ(console_key(224, second), bytes) << second;
        const std::string b = bytes;
        EXPECT_EQ(decode_key(reinterpret_cast<const unsigned char*>(b.data()), b.size(), false).used, b.size());
    }
    EXPECT_EQ(console_key(26, 0), "\x04");
    EXPECT_EQ(console_key(' ', 0), " ");
    EXPECT_EQ(console_key(0xa1, 0), "\x1b[~");
}
