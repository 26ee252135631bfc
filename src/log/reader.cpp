#include "log/reader.h"

#include <algorithm>
#include <cstring>

#include "log/check.h"

namespace {

std::string at_line(const std::string& name, long long line, const std::string& what)
{
    return name + ":" + std::to_string(line) + ": " + what;
}

// Checksum of bytes (FNV-1a).
unsigned long long fnv(const char* p, size_t n)
{
    unsigned long long h = 1469598103934665603ULL;
    for (size_t k = 0; k < n; k++)
        h = (h ^ static_cast<unsigned char>(p[k])) * 1099511628211ULL;
    return h;
}

// Whether snapshot b is a spawn's, given the one before it, a. A move or
// turn clears the piece's four cells and stamps four; a spawn stamps four
// more, after row removal took X-2 cells a row (less what row 1 held, as it
// is copied down but never emptied) and shifted the rows above.
// Limit: a spawn whose row removal took exactly four cells in all and
// changed no more than four cells' values looks like a move.
bool spawned(const int (*a)[M_N], const int (*b)[M_N], int x, int y)
{
    int na = 0, nb = 0, diff = 0;
    for (int i = 0; i < x; i++) {
        // A column that did not change changes no count.
        if (std::memcmp(a[i], b[i], sizeof a[i][0] * static_cast<size_t>(y)) == 0)
            continue;
        for (int j = 0; j < y; j++) {
            na += a[i][j] > 0 && a[i][j] < WALL;
            nb += b[i][j] > 0 && b[i][j] < WALL;
            diff += a[i][j] != b[i][j];
        }
    }
    return na != nb || diff > 8;
}

// Counts kept for jumps; beyond it, every other one goes and the spacing
// doubles.
const size_t MAX_MARKS = 4096;
// Bytes read at once when stepping through a file: one read a snapshot
// would cost more than checking it.
const size_t RUN = 64 * 1024;

} // namespace

LogReader::~LogReader() { close(); }

void LogReader::close()
{
    file_close(file_);
    file_ = -1;
    bytes_ = nullptr;
    x_ = y_ = 0;
    count_ = 0;
    cut_ = false;
    read_ = 0;
    run_n_ = 0;
    at_ = -1;
}

bool LogReader::open(const char* name, std::string* fault)
{
    close();
    FileFault why;
    const FileIn f = file_open_in(name, &why);
    if (f == -1) {
        *fault = std::string(name) + ": " +
                 (why == FileFault::Missing      ? "没有这个文件"
                  : why == FileFault::NotRegular ? "不是普通文件（目录、FIFO 或设备），不读"
                                                 : "无法打开");
        return false;
    }
    file_ = f;
    return start(name, fault);
}

bool LogReader::open_bytes(const char* name, const std::string* bytes, std::string* fault)
{
    close();
    bytes_ = bytes;
    return start(name, fault);
}

long long LogReader::size_now()
{
    return bytes_ ? static_cast<long long>(bytes_->size()) : file_size(file_);
}

bool LogReader::bytes_at(long long at, char* p, size_t n)
{
    if (bytes_) {
        if (at < 0 || static_cast<unsigned long long>(at) + n > bytes_->size())
            return false;
        std::memcpy(p, bytes_->data() + at, n);
        read_ += static_cast<long long>(n);
        return true;
    }
    const long long got = file_read_at(file_, at, p, n);
    read_ += std::max(0LL, got);
    return got == static_cast<long long>(n);
}

bool LogReader::start(const char* name, std::string* fault)
{
    name_ = name;
    marks_.assign(1, 0);
    step_ = 64;
    const long long size = size_now();
    if (size < 0) {
        *fault = name_ + ": 无法读取";
        return false;
    }
    if (size == 0) {
        *fault = name_ + ": 文件是空的";
        return false;
    }
    // Enough for the largest first snapshot and the first byte after it.
    const size_t most = (LOG_MAX_X + 1) * (log_line(LOG_MAX_Y) + 2) + 2;
    buf_.resize(static_cast<size_t>(std::min<long long>(size, static_cast<long long>(most))));
    if (!bytes_at(0, buf_.data(), buf_.size())) {
        *fault = name_ + ": 无法读取";
        return false;
    }
    if (!cur_) {
        cur_.reset(new Board[M_N]);
        tmp_.reset(new Board[M_N]);
    }
    int x = 0, y = 0;
    size_t eol = 1;
    const LogFault f = log_first(buf_.data(), buf_.size(), &x, &y, &eol, cur_.get());
    if (f.what != LogFault::OK) {
        long long line = f.line + 1;
        if (f.what == LogFault::OUT) {
            // The bytes read are the whole file: its last line.
            line = std::count(buf_.begin(), buf_.end(), '\n') + (buf_.back() != '\n');
        }
        *fault = at_line(name_, line, log_fault_text(f));
        return false;
    }
    x_ = x;
    y_ = y;
    eol_ = eol;
    snap_ = log_snapshot(x, y, eol);
    first_ = fnv(buf_.data(), snap_);
    buf_.resize(snap_);
    count_ = static_cast<long>(size / static_cast<long long>(snap_));
    cut_ = size % static_cast<long long>(snap_) != 0;
    at_ = 0;
    at_pieces_ = 0;
    last_ = sum(count_ - 1);
    return true;
}

const char* LogReader::snapshot_at(long k)
{
    const long long at = static_cast<long long>(k) * static_cast<long long>(snap_);
    if (bytes_) {
        if (at + snap_ > bytes_->size())
            return nullptr;
        read_ += static_cast<long long>(snap_);
        return bytes_->data() + at;
    }
    if (k < run_from_ || k >= run_from_ + run_n_) {
        // Stepping back reads the run that ends at k, else the one from k;
        // in a file cut shorter since, k alone.
        const long per = static_cast<long>(std::max<size_t>(1, RUN / snap_));
        run_from_ = k < run_from_ ? std::max(0L, k - per + 1) : k;
        run_n_ = std::min(per, count_ - run_from_);
        run_.resize(static_cast<size_t>(run_n_) * snap_);
        const long long from = static_cast<long long>(run_from_) * static_cast<long long>(snap_);
        if (!bytes_at(from, run_.data(), run_.size())) {
            run_from_ = k;
            run_n_ = bytes_at(at, run_.data(), snap_) ? 1 : 0;
            if (run_n_ == 0)
                return nullptr;
        }
    }
    return run_.data() + static_cast<size_t>(k - run_from_) * snap_;
}

unsigned long long LogReader::sum(long k)
{
    if (!bytes_at(static_cast<long long>(k) * static_cast<long long>(snap_), buf_.data(), snap_))
        return 0;
    return fnv(buf_.data(), snap_);
}

// A new game empties the file and writes from its start: the file is then
// shorter than counted, or its first or last snapshot counted differs (the
// first alone would not do: every game in a well of one size starts alike).
bool LogReader::unchanged()
{
    const long long size = size_now();
    if (size >= static_cast<long long>(count_) * static_cast<long long>(snap_) && sum(0) == first_ &&
        sum(count_ - 1) == last_)
        return true;
    run_n_ = 0; // what was read ahead may be the new file's
    return false;
}

std::string LogReader::changed() const { return name_ + ": 文件在读的时候变了（被清空、变短或改写：新的一局开始了？）"; }

LogReader::Outcome LogReader::load(long k, Board* b, std::string* fault)
{
    if (k < 0 || k >= count_) {
        *fault = name_ + ": 没有第 " + std::to_string(k + 1) + " 个快照（共 " + std::to_string(count_) + " 个）";
        return Outcome::Fault;
    }
    const char* p = snapshot_at(k);
    LogFault f;
    if (p && (f = log_later(p, x_, y_, eol_, b)).what == LogFault::OK)
        return Outcome::Ok;
    if (!unchanged()) {
        *fault = changed();
        return Outcome::Changed;
    }
    if (!p) {
        *fault = name_ + ": 第 " + std::to_string(k + 1) + " 个快照无法读取";
        return Outcome::Fault;
    }
    // Every snapshot before k is taken as whole, x_ + 1 lines: counting
    // their lines would read the file from its start.
    const long long line = static_cast<long long>(k) * (x_ + 1) + f.line + 1;
    *fault = at_line(name_, line, log_fault_text(f));
    return Outcome::Fault;
}

LogReader::Outcome LogReader::read(long k, int board[][M_N], std::string* fault)
{
    // A snapshot that reads well may still be another game's, written over
    // this one in a well of the same size.
    const Outcome o = load(k, board, fault);
    if (o != Outcome::Ok || unchanged())
        return o;
    *fault = changed();
    return Outcome::Changed;
}

LogReader::Change LogReader::refresh()
{
    if (count_ == 0)
        return Same; // not open
    run_n_ = 0;
    if (!bytes_) {
        FileFault why;
        const FileIn now = file_open_in(name_.c_str(), &why);
        const bool same = now != -1 && file_same(now, file_);
        file_close(now);
        if (!same)
            return Emptied;
    }
    if (!unchanged())
        return Emptied;
    const long long size = size_now();
    const long n = static_cast<long>(size / static_cast<long long>(snap_));
    cut_ = size % static_cast<long long>(snap_) != 0;
    if (n == count_)
        return Same;
    count_ = n;
    last_ = sum(count_ - 1);
    return Grew;
}

void LogReader::mark(long k)
{
    if (k % step_ != 0 || static_cast<size_t>(k / step_) != marks_.size())
        return;
    marks_.push_back(at_pieces_);
    if (marks_.size() < MAX_MARKS)
        return;
    for (size_t i = 0; 2 * i < marks_.size(); i++)
        marks_[i] = marks_[2 * i];
    marks_.resize((marks_.size() + 1) / 2);
    step_ *= 2;
}

long LogReader::pieces(long k, std::string* fault, long budget)
{
    if (k < 0 || k >= count_) {
        *fault = name_ + ": 没有第 " + std::to_string(k + 1) + " 个快照（共 " + std::to_string(count_) + " 个）";
        return FAULT;
    }
    budget = std::max(1L, budget);
    const long given = budget;
    // The cheapest start: the snapshot counted last, on either side, or the
    // nearest mark before k.
    const long near = std::min(k / step_, static_cast<long>(marks_.size()) - 1) * step_;
    const long from_mark = k - near + 1;
    const long from_here = at_ < 0 ? from_mark + 1 : at_ <= k ? k - at_ : at_ - k;
    Outcome o = Outcome::Ok;
    if (from_mark < from_here) {
        // Into tmp_, so that a fault leaves the board of at_ as it was.
        o = load(near, tmp_.get(), fault);
        budget--;
        if (o == Outcome::Ok) {
            std::swap(cur_, tmp_);
            at_ = near;
            at_pieces_ = marks_[static_cast<size_t>(near / step_)];
        }
    }
    for (; o == Outcome::Ok && at_ != k && budget > 0; budget--) {
        const long next = at_ < k ? at_ + 1 : at_ - 1;
        o = load(next, tmp_.get(), fault);
        if (o != Outcome::Ok)
            break;
        const bool ahead = next > at_;
        if (ahead)
            at_pieces_ += spawned(cur_.get(), tmp_.get(), x_, y_);
        else
            at_pieces_ -= spawned(tmp_.get(), cur_.get(), x_, y_);
        std::swap(cur_, tmp_);
        at_ = next;
        if (ahead)
            mark(at_);
    }
    // A count already reached reads nothing: it stays as it was counted.
    if (o == Outcome::Ok && budget != given && !unchanged()) {
        *fault = changed();
        o = Outcome::Changed;
    }
    if (o == Outcome::Changed) {
        // What was counted may be the new file's.
        at_ = -1;
        marks_.assign(1, 0);
        step_ = 64;
    }
    return o == Outcome::Fault ? FAULT : o == Outcome::Changed ? CHANGED : at_ == k ? at_pieces_ : LATER;
}

LogReader::Outcome LogReader::step(long k, int board[][M_N], long* pieces, std::string* fault)
{
    if (k != at_ && k != at_ + 1) {
        const long n = this->pieces(k, fault);
        if (n < 0)
            return n == FAULT ? Outcome::Fault : Outcome::Changed;
        *pieces = n;
        return read(k, board, fault);
    }
    Outcome o = Outcome::Ok;
    if (k == at_ + 1 && (o = load(k, tmp_.get(), fault)) == Outcome::Ok) {
        at_pieces_ += spawned(cur_.get(), tmp_.get(), x_, y_);
        std::swap(cur_, tmp_);
        at_ = k;
        mark(k);
    }
    if (o == Outcome::Ok && (k % STEP_LOOK == 0 || k == count_ - 1) && !unchanged()) {
        *fault = changed();
        o = Outcome::Changed;
    }
    if (o == Outcome::Changed) {
        // What was counted may be the new file's.
        at_ = -1;
        marks_.assign(1, 0);
        step_ = 64;
    }
    if (o != Outcome::Ok)
        return o;
    for (int i = 0; i < x_; i++)
        std::copy(cur_[i], cur_[i] + y_, board[i]);
    *pieces = at_pieces_;
    return o;
}

long long LogReader::modified() const { return bytes_ ? -1 : file_time(file_); }

bool LogReader::is(const char* name) const
{
    if (bytes_)
        return false;
    FileFault why;
    const FileIn f = file_open_in(name, &why);
    const bool same = f != -1 && file_same(f, file_);
    file_close(f);
    return same;
}
