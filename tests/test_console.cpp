// The console operations as a terminal shows them, and the two input
// decoders behind them.
#include <cstring>
#include <string>
#include <tuple>

#include "console/answers.h"
#include "console/keys.h"
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
