#include <string>

#include "log/format.h"
#include "my-dropix.h"
#include "platform/platform.h"

static const char LOG_NAME[] = "data.txt";

// Set once a snapshot could not be written whole: nothing more is appended
// in this game, so that the log never shows a gap. The player's answer J
// stays as it was.
static bool d_off = false;
static FileFault d_empty = FileFault::None; // why data.txt could not be emptied for this game
static long d_n = 0;                        // snapshots written in this game
static FileFault d_fault = FileFault::None; // why a log asked for was not written, first in this run
static bool d_cut = false;                  // and whether it stopped after some snapshots

// Empties the board log, creating it when missing.
void f_d()
{
    d_off = false;
    d_n = 0;
    d_empty = file_empty(LOG_NAME);
}

// Appends a snapshot of the board, one line per column, when the log is on.
void r_d()
{
    if (J == 0 || d_off)
        return;
    static char buf[LOG_MAX_SNAPSHOT];
    const size_t n = log_put(buf, m, X, Y);
    // Opened per snapshot and written in one call, so what was logged is on
    // disk even if the game is killed. A log that cannot be written is
    // given up and said when the program ends; the game goes on.
    const FileFault f = d_empty != FileFault::None ? d_empty : file_append(LOG_NAME, buf, n);
    if (f == FileFault::None) {
        d_n++;
        return;
    }
    d_off = true;
    if (d_fault == FileFault::None) {
        d_fault = f;
        d_cut = d_n > 0;
    }
}

const char* e_why(FileFault f)
{
    switch (f) {
    case FileFault::Missing: return "所在的目录已不存在";
    case FileFault::NotRegular: return "它不是普通文件";
    case FileFault::Link: return "它是符号链接，不写";
    case FileFault::Shared: return "它还有别的硬链接，不写";
    case FileFault::Denied: return "没有写入的权限";
    case FileFault::ReadOnly: return "文件系统是只读的";
    case FileFault::Full: return "磁盘已满";
    case FileFault::Limit: return "超过了文件大小的限制";
    case FileFault::None: case FileFault::Other: break;
    }
    return "无法写入";
}

// The line that says why a log asked for was not written, or stopped being
// written; empty when every log asked for was written.
std::string e_d()
{
    if (d_fault == FileFault::None)
        return "";
    return std::string("my-dropix: ") + (d_cut ? "数据记录 data.txt 中途停止了写入：" : "没有写入数据记录 data.txt：") +
           e_why(d_fault) + "\n";
}
