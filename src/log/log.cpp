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

// The line that says why a log asked for was not written, or stopped being
// written; empty when every log asked for was written.
std::string e_d()
{
    const char* why = "无法写入";
    switch (d_fault) {
    case FileFault::None: return "";
    case FileFault::Missing: why = "所在的目录已不存在"; break;
    case FileFault::NotRegular: why = "它不是普通文件"; break;
    case FileFault::Link: why = "它是符号链接，不写"; break;
    case FileFault::Shared: why = "它还有别的硬链接，不写"; break;
    case FileFault::Denied: why = "没有写入的权限"; break;
    case FileFault::ReadOnly: why = "文件系统是只读的"; break;
    case FileFault::Full: why = "磁盘已满"; break;
    case FileFault::Limit: why = "超过了文件大小的限制"; break;
    case FileFault::Other: break;
    }
    return std::string("my-dropix: ") + (d_cut ? "数据记录 data.txt 中途停止了写入：" : "没有写入数据记录 data.txt：") +
           why + "\n";
}
