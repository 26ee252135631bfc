// Sharing a logged game: the board log turned into an asciicast v2
// recording of what the viewer shows while it plays the log from the first
// snapshot to the last, drawn by the viewer's own procedures on a console
// whose platform is the recorder. No terminal is needed or touched. The
// recording is written beside its final name and put in place only when
// whole.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/console.h"
#include "log/cast.h"
#include "log/reader.h"
#include "platform/platform.h"
#include "screens/viewer.h"

int lz_rate = 10;

namespace {

std::unique_ptr<LogReader> lz;   // the log recorded
std::string lz_name, lz_out_name; // its file's name, the recording's ("" standard output)
FileOut* lz_out = nullptr;
int lz_b[M_N][M_N];

// "■" is drawn for a player that may draw it one or two columns wide (web
// players draw one): its two columns are blanked first, and the cursor is
// placed anew after it. Written for one width, a recording is smaller by a
// quarter, and wrong on players of the other.
constexpr int GLYPH_WIDTH = 0;
// The recording is written in pieces of about this many bytes.
constexpr size_t PIECE = 64 * 1024;

// Says a line on standard error, after the file's name as typed.
void say_named(const std::string& name, const std::string& what)
{
    say(true, "my-dropix: ");
    say(true, name, false);
    say(true, what + "\n");
}

// Ends on a fault: no recording is left, one line says why.
int lz_fault(const std::string& what)
{
    file_drop(lz_out);
    lz_out = nullptr;
    const bool named = what.compare(0, lz_name.size(), lz_name) == 0;
    if (named)
        say_named(lz_name, what.substr(lz_name.size()));
    else
        say(true, "my-dropix: " + what + "\n");
    return 1;
}

// Ends when the recording could not be written.
int lz_unwritten(FileFault f)
{
    file_drop(lz_out);
    lz_out = nullptr;
    if (lz_out_name.empty())
        say(true, "my-dropix: 无法写入标准输出\n");
    else
        say_named(lz_out_name, std::string(": ") + e_why(f) + "，没有留下录像");
    return 1;
}

// Before a recording goes to standard output, where what was written
// cannot be taken back: the whole log is read once, for its faults.
bool lz_check(std::string* why)
{
    LogReader r;
    if (!r.open(lz_name.c_str(), why))
        return false;
    long pieces = 0;
    for (long k = 0; k < r.count(); k++) {
        if (r.step(k, lz_b, &pieces, why) != LogReader::Outcome::Ok)
            return false;
        if (stop_noted())
            stop_now(stop_noted());
    }
    return true;
}

} // namespace

LogReader::Outcome lz_record(LogReader& r, int rate, const std::function<bool(std::string&, bool)>& put,
                             std::string* fault)
{
    X = r.width();
    Y = r.height();
    const long n = r.count();
    const int cols = 2 * X + 2 + HF_PANEL_COLS, rows = Y + 1;
    CastRecorder rec(cols, rows, GLYPH_WIDTH);
    rec.header(r.modified(), "my-dropix 回放：井宽 " + std::to_string(X) + "，井高 " + std::to_string(Y));
    Console console(rec);
    // The game's console is this one while the recording is made.
    struct Lend {
        Console* was = con;
        ~Lend() { con = was; }
    } lend;
    con = &console;
    f_sz_m();
    set_cursor(0);
    con->play(cols, rows, cols);
    hf_d_frame(false);
    const std::string note = r.cut_short() ? HF_CUT_NOTE : "";
    for (long k = 0; k < n; k++) {
        long pieces = 0;
        const LogReader::Outcome o = r.step(k, lz_b, &pieces, fault);
        if (o != LogReader::Outcome::Ok)
            return o;
        hf_d_board(lz_b);
        // Played to the last, the viewer stops there.
        hf_d_panel(k, n, pieces, rate, k + 1 < n, note);
        rec.at(k * 1000000LL / rate);
        con->flush();
        if (!put(rec.lines(), k + 1 == n))
            break;
    }
    return LogReader::Outcome::Ok;
}

// Opens the board log (data.txt unless named) and begins the recording
// (FILE with .cast for a final .txt, else .cast added; "-" standard
// output); false with one line saying what is wrong.
bool lz_open(const std::vector<const char*>& operands, std::string* fault)
{
    // From before the new file is made to when it is in place or gone.
    stop_note();
    lz_name = operands.empty() ? "data.txt" : operands[0];
    if (operands.size() > 1) {
        lz_out_name = operands[1];
    } else {
        lz_out_name = lz_name;
        const size_t n = lz_out_name.size();
        if (n > 4 && lz_out_name.compare(n - 4, 4, ".txt") == 0)
            lz_out_name.resize(n - 4);
        lz_out_name += ".cast";
    }
    if (lz_out_name == "-")
        lz_out_name.clear();
    lz = std::make_unique<LogReader>();
    if (!lz->open(lz_name.c_str(), fault))
        return false;
    FileFault why;
    lz_out = file_begin(lz_out_name.empty() ? nullptr : lz_out_name.c_str(), &why);
    if (!lz_out) {
        *fault = lz_out_name + ": " + e_why(why);
        return false;
    }
    // The log itself, by another of its names.
    if (!lz_out_name.empty() && lz->is(lz_out_name.c_str())) {
        file_drop(lz_out);
        lz_out = nullptr;
        *fault = lz_out_name + ": 这是要录制的数据记录本身，不能写成录像";
        return false;
    }
    return true;
}

// Records the log opened, snapshot by snapshot, and says what was written;
// returns the exit status.
int lz_main()
{
    std::string why;
    if (lz_out_name.empty() && !lz_check(&why))
        return lz_fault(why);
    long long bytes = 0;
    FileFault f = FileFault::None;
    const LogReader::Outcome o = lz_record(*lz, lz_rate, [&](std::string& lines, bool last) {
        if (lines.size() >= PIECE || last) {
            f = file_write(lz_out, lines.data(), lines.size());
            bytes += static_cast<long long>(lines.size());
            lines.clear();
        }
        if (stop_noted()) {
            file_drop(lz_out);
            stop_now(stop_noted());
        }
        return f == FileFault::None;
    }, &why);
    if (o != LogReader::Outcome::Ok)
        return lz_fault(why);
    if (f != FileFault::None)
        return lz_unwritten(f);
    f = file_finish(lz_out, lz_out_name.c_str());
    lz_out = nullptr;
    if (f != FileFault::None)
        return lz_unwritten(f);
    const long n = lz->count();
    const long long us = (n - 1) * 1000000LL / lz_rate;
    char said[160];
    std::snprintf(said, sizeof said, "：%ld 个快照，%lld.%lld 秒，%lld 字节%s\n", n, us / 1000000, us / 100000 % 10, bytes,
                  lz->cut_short() ? "；最后一个快照只写了一半，没有录入" : "");
    // On standard error when the recording went to standard output.
    const bool err = lz_out_name.empty();
    say(err, "my-dropix: 录像");
    if (err)
        say(err, "（标准输出）");
    else
        say(err, " " + lz_out_name, false);
    say(err, said);
    return 0;
}
