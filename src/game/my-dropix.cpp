// Entry point: answers --help and --version, or sets up the platform's
// console and plays, or replays a board log.
#include <cstring>

#include "console/platform.h"
#include "my-dropix.h"

#ifndef DROPIX_VERSION
#error "DROPIX_VERSION must give the project's version"
#endif

namespace {

const char USAGE[] =
    "用法：my-dropix [--help | --version | --replay [文件]]\n"
    "\n"
    "在文本终端里玩的单人方块下落益智游戏。\n"
    "开局时依次回答井的宽度（10~100）、高度（15~100）和是否写数据记录\n"
    "data.txt（0 或 1），然后用按键操作下落的方块：\n"
    "  ← →   左移、右移\n"
    "  ↑     顺时针旋转\n"
    "  ↓     下移一行\n"
    "  空格  暂停，再按任意键继续\n"
    "填满的一行会消失并得分。\n"
    "\n"
    "  --help           显示本说明后退出\n"
    "  --version        显示版本后退出\n"
    "  --replay [文件]  一步一步回放数据记录（默认为 data.txt）：\n"
    "                   空格 播放/暂停，← → 上一步/下一步，↑ ↓ 加快/减慢，\n"
    "                   Home/End 第一步/最后一步，q 或 Esc 退出\n"
    "\n"
    "详细说明见 man 6 my-dropix。\n";

} // namespace

int main(int argc, char** argv)
{
    // Arguments are dealt with before the console exists: answering them
    // must leave the terminal and data.txt alone.
    bool help = false, version = false;
    const char* replay = nullptr; // the log to watch, with --replay
    for (int k = 1; k < argc; k++) {
        if (std::strcmp(argv[k], "--help") == 0) {
            help = true;
        } else if (std::strcmp(argv[k], "--version") == 0) {
            version = true;
        } else if (std::strcmp(argv[k], "--replay") == 0 && !replay) {
            // The file, unless what follows is another option.
            replay = k + 1 < argc && std::strncmp(argv[k + 1], "--", 2) != 0 ? argv[++k] : "data.txt";
        } else {
            say(true, "my-dropix: 无法识别的参数“");
            say(true, argv[k], false); // as typed, control characters escaped
            say(true, "”；用法见 my-dropix --help\n");
            return 2;
        }
    }
    if (help || version) {
        if (say(false, help ? USAGE : "my-dropix " DROPIX_VERSION "\n"))
            return 0;
        say(true, "my-dropix: 无法写入标准输出\n");
        return 1;
    }
    if (replay) {
        // A log at fault is said before the terminal is touched.
        std::string fault;
        if (!hf_open(replay, &fault)) {
            // The file's name as typed, the rest in the terminal's encoding.
            const size_t n = std::strlen(replay);
            const bool named = fault.compare(0, n, replay) == 0;
            say(true, "my-dropix: ");
            if (named)
                say(true, replay, false);
            say(true, fault.substr(named ? n : 0) + "\n");
            return 1;
        }
    }
    PlatformConsole pc;
    con = &pc;
    const int status = replay ? hf_main() : g_main();
    pc.restore();
    return status;
}
