// The board log's reader over any bytes: what it counts agrees with the
// bytes; every snapshot it accepts holds board values and is what the
// writer writes for them; a fault is one line naming a line of the file,
// or of the snapshot read (those before it taken as whole); pieces are
// counted alike stepping forward and back, at once or in slices; a file
// read as it grows, or rewritten, is seen as such, by a read too; a
// recording made of it is JSON line by line, an event a snapshot in time
// order, or it ends at the first snapshot at fault with that fault.
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "../json.h"
#include "check.h"
#include "log/format.h"
#include "log/reader.h"
#include "screens/viewer.h"

namespace {

const uint8_t* fuzz_data;
size_t fuzz_size;

long long lines(const std::string& s)
{
    long long n = 0;
    for (char c : s)
        n += c == '\n';
    return n + (!s.empty() && s.back() != '\n');
}

// "data.txt:N: what" with N in from..to; only an empty file has no line.
void check_fault(const std::string& f, const std::string& s, long long from, long long to)
{
    FUZZ_CHECK(f.rfind("data.txt:", 0) == 0 && f.find('\n') == std::string::npos);
    if (f[9] == ' ') {
        FUZZ_CHECK(s.empty());
        return;
    }
    char* end = nullptr;
    const long long n = std::strtoll(f.c_str() + 9, &end, 10);
    FUZZ_CHECK(*end == ':' && end[1] == ' ' && end[2] != '\0');
    FUZZ_CHECK(n >= from && n <= to);
}

// A fault at opening names a line of s.
void check_fault(const std::string& f, const std::string& s) { check_fault(f, s, 1, lines(s)); }

std::string written(const int (*b)[M_N], int x, int y, bool crlf)
{
    static char p[LOG_MAX_SNAPSHOT];
    std::string w(p, log_put(p, b, x, y));
    for (size_t k = 0; crlf && (k = w.find('\n', k)) != std::string::npos; k += 2)
        w.insert(k, "\r");
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_data = data;
    fuzz_size = size;
    const std::string s(reinterpret_cast<const char*>(data), size);
    LogReader r;
    std::string fault;
    if (!r.open_bytes("data.txt", &s, &fault)) {
        check_fault(fault, s);
        return 0;
    }
    const int x = r.width(), y = r.height();
    FUZZ_CHECK(x >= LOG_MIN_X && x <= LOG_MAX_X && y >= LOG_MIN_Y && y <= LOG_MAX_Y);
    const size_t eol = r.crlf() ? 2 : 1;
    const size_t snap = log_snapshot(x, y, eol);
    FUZZ_CHECK(s.find('\n') == log_line(y) + eol - 1);
    FUZZ_CHECK(r.count() == static_cast<long>(size / snap) && r.cut_short() == (size % snap != 0));

    // Snapshot k's lines, those before it taken as whole.
    auto in_k = [&](const std::string& f, long k) { check_fault(f, s, k * (x + 1LL) + 1, (k + 1) * (x + 1LL)); };
    static int b[M_N][M_N];
    long faulty = -1; // the first snapshot at fault
    for (long k = 0; k < r.count(); k++) {
        const LogReader::Outcome o = r.read(k, b, &fault);
        FUZZ_CHECK(o != LogReader::Outcome::Changed);
        if (o == LogReader::Outcome::Fault) {
            FUZZ_CHECK(k > 0); // the first was checked when opened
            in_k(fault, k);
            faulty = faulty < 0 ? k : faulty;
            continue;
        }
        for (int i = 0; i < x; i++)
            for (int j = 0; j < y; j++)
                FUZZ_CHECK(b[i][j] >= 0 && b[i][j] <= WALL);
        FUZZ_CHECK(written(b, x, y, r.crlf()) == s.substr(static_cast<size_t>(k) * snap, snap));
    }

    // Pieces: none at first, one more at most per snapshot, the same
    // counted backward.
    std::vector<long> ahead;
    for (long k = 0; k < r.count(); k++) {
        const long n = r.pieces(k, &fault);
        if (n < 0) {
            FUZZ_CHECK(n == LogReader::FAULT && k == faulty);
            in_k(fault, k);
            break;
        }
        FUZZ_CHECK(k == 0 ? n == 0 : n - ahead.back() == 0 || n - ahead.back() == 1);
        ahead.push_back(n);
    }
    for (long k = static_cast<long>(ahead.size()) - 1; k >= 0; k--)
        FUZZ_CHECK(r.pieces(k, &fault) == ahead[static_cast<size_t>(k)]);

    // Recorded, at a rate of its own.
    LogReader rec;
    FUZZ_CHECK(rec.open_bytes("data.txt", &s, &fault));
    std::string cast;
    long given = 0;
    const int rate = HF_RATES[data[0] % std::size(HF_RATES)];
    const LogReader::Outcome got = lz_record(rec, rate, [&](std::string& lines, bool last) {
        cast += lines;
        lines.clear();
        FUZZ_CHECK(last == (++given == r.count()));
        return true;
    }, &fault);
    const CastFile c = read_cast(cast);
    FUZZ_CHECK(c.fault.empty());
    FUZZ_CHECK(c.version == 2 && c.width == 2 * x + 2 + HF_PANEL_COLS && c.height == y + 1 && c.timestamp == -1);
    if (faulty >= 0) {
        FUZZ_CHECK(got == LogReader::Outcome::Fault && static_cast<long>(c.events.size()) == faulty);
        in_k(fault, faulty);
    } else {
        FUZZ_CHECK(got == LogReader::Outcome::Ok && static_cast<long>(c.events.size()) == r.count());
    }
    for (size_t k = 0; k < c.events.size(); k++)
        FUZZ_CHECK(c.events[k].first == static_cast<double>(static_cast<long long>(k) * 1000000 / rate) / 1e6);

    // In slices of a few snapshots, to places here and there: LATER no more
    // often than there are snapshots, then the count or the first fault.
    InputRng rng(data, size, 3);
    LogReader sliced;
    FUZZ_CHECK(sliced.open_bytes("data.txt", &s, &fault));
    for (int t = 0; t < 4; t++) {
        const long k = static_cast<long>(rng.below(static_cast<uint64_t>(r.count())));
        const long budget = 1 + static_cast<long>(rng.below(5));
        long n = 0, slices = 0;
        while ((n = sliced.pieces(k, &fault, budget)) == LogReader::LATER)
            FUZZ_CHECK(++slices <= r.count());
        if (k < static_cast<long>(ahead.size())) {
            FUZZ_CHECK(n == ahead[static_cast<size_t>(k)]);
        } else {
            FUZZ_CHECK(n == LogReader::FAULT);
            in_k(fault, faulty);
        }
    }

    // Read while it grows: a part of it first, then the whole.
    std::string part = s.substr(0, rng.below(size + 1));
    LogReader g;
    if (g.open_bytes("data.txt", &part, &fault)) {
        FUZZ_CHECK(g.width() == x && g.height() == y && g.crlf() == r.crlf());
        const long before = g.count();
        part = s;
        FUZZ_CHECK(g.refresh() == (r.count() > before ? LogReader::Grew : LogReader::Same));
        FUZZ_CHECK(g.count() == r.count() && g.cut_short() == r.cut_short());
        // Any byte of the first or the last snapshot counted changed, or
        // the file cut shorter: a new game, for a read as for refresh().
        const long k = static_cast<long>(rng.below(static_cast<uint64_t>(g.count())));
        switch (rng.below(3)) {
        case 0: part[rng.below(snap)] ^= 1; break;
        case 1: part[(static_cast<size_t>(g.count()) - 1) * snap + rng.below(snap)] ^= 1; break;
        default: part.resize(static_cast<size_t>(g.count()) * snap - 1 - rng.below(snap)); break;
        }
        FUZZ_CHECK(g.read(k, b, &fault) == LogReader::Outcome::Changed && g.count() == r.count());
        // Counting reads from the first on; where it stands, it reads nothing.
        const long n = g.pieces(k, &fault);
        FUZZ_CHECK(k == 0 ? n == 0 : n == LogReader::CHANGED);
        FUZZ_CHECK(g.refresh() == LogReader::Emptied && g.count() == r.count());
    }
    return 0;
}
