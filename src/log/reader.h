// Reads a board log back, for a viewer that steps through a game. Opening
// looks at the first snapshot only: every snapshot of a file has its size,
// so the others are found by their offset, and each is read and checked
// when it is asked for. Memory stays bounded whatever the file's size.
//
// A file at fault gives one line of text: the file's name, the line and
// what is wrong there ("data.txt:12: ..."), or the name and what is wrong
// with the whole file. A file that changed under the reader (a new game
// emptied it, another file took its name) is no fault: reads say so apart.
// Nothing is read from the start of the file but the first snapshot.
#pragma once

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "log/format.h"

class LogReader {
public:
    enum Change { Same, Grew, Emptied };

    LogReader() = default;
    ~LogReader();
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // Opens the file and checks its first snapshot; false with the fault.
    bool open(const char* name, std::string* fault);
    // The same over the bytes of `*bytes`, which refresh() looks at again;
    // `name` is what faults call them.
    bool open_bytes(const char* name, const std::string* bytes, std::string* fault);

    int width() const { return x_; }  // X, walls included
    int height() const { return y_; } // Y, floor included
    bool crlf() const { return eol_ == 2; }
    long count() const { return count_; } // complete snapshots
    bool cut_short() const { return cut_; } // part of one more follows them

    enum class Outcome {
        Ok,
        // The file is no longer what was opened: emptied, shortened,
        // rewritten or replaced, as refresh()'s Emptied. The reader stays
        // as it was; *fault says what happened.
        Changed,
        // What is read is malformed, in a file that has not changed; or k
        // is not a snapshot counted.
        Fault,
    };
    // Snapshot k (0..count()-1) into board[x][y], checked as it is read.
    // Before a fault is said, the file is looked at again.
    Outcome read(long k, int board[][M_N], std::string* fault);

    // Looks at the file again. Grew: more complete snapshots are there.
    // Emptied: the file was emptied, shortened, rewritten or replaced (a
    // new game began); the reader stays as it was, and open() follows the
    // new game.
    Change refresh();

    // Pieces spawned up to snapshot k, or FAULT or CHANGED (as read()
    // says them, with *fault), or LATER: `budget` snapshots (at least one)
    // were read and k is not reached yet; the next call goes on from where
    // this one stopped, whatever its k. Stepping to the next or previous
    // snapshot reads one; a jump starts from the nearest place already
    // counted. A call that reads nothing (k is where the last one stopped)
    // gives the count as it was, whatever became of the file since; after
    // CHANGED, counting starts again from the first.
    static constexpr long FAULT = -1, CHANGED = -2, LATER = -3;
    static constexpr long ALL = LONG_MAX; // no budget
    long pieces(long k, std::string* fault, long budget = ALL);

    // Snapshot k into board, and the pieces spawned up to it in *pieces,
    // for one pass through the file in order (a recording made of it):
    // stepping to the next snapshot reads it once, and the file is looked
    // at for a change only every STEP_LOOK snapshots and at the last. Any
    // other k is read as by pieces() and read().
    static constexpr long STEP_LOOK = 4096;
    Outcome step(long k, int board[][M_N], long* pieces, std::string* fault);

    // Whether `name` names the file read, however it is spelled.
    bool is(const char* name) const;
    // When the file was last written (seconds since 1970), -1 when not
    // known.
    long long modified() const;

    // Bytes taken from the file since it was opened.
    long long bytes_read() const { return read_; }

private:
    using Board = int[M_N];
    bool start(const char* name, std::string* fault);
    void close();
    long long size_now();
    bool bytes_at(long long at, char* p, size_t n);
    const char* snapshot_at(long k);
    Outcome load(long k, Board* b, std::string* fault);
    unsigned long long sum(long k);
    bool unchanged();
    std::string changed() const;
    void mark(long k);

    std::string name_;
    FileIn file_ = -1;
    const std::string* bytes_ = nullptr;
    int x_ = 0, y_ = 0;
    size_t eol_ = 1;
    size_t snap_ = 0; // bytes of a snapshot
    long count_ = 0;
    bool cut_ = false;
    unsigned long long first_ = 0; // checksums of the first snapshot
    unsigned long long last_ = 0;  // and of the last complete one
    long long read_ = 0;
    std::vector<char> buf_;
    // Whole snapshots read at once, for stepping through the file.
    std::vector<char> run_;
    long run_from_ = 0, run_n_ = 0;

    // Counting pieces: the board of snapshot at_ and its count, and the
    // counts at every step_-th snapshot so far, thinned out as they grow.
    std::unique_ptr<Board[]> cur_, tmp_;
    long at_ = -1, at_pieces_ = 0;
    long step_ = 0;
    std::vector<long> marks_;
};
