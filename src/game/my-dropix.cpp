// Entry point: answers --help and --version, or takes the platform's
// screen and plays, or shows one of the other screens.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/console.h"
#include "my-dropix.h"
#include "platform/platform.h"
#include "screens/viewer.h"

#ifndef DROPIX_VERSION
#error "DROPIX_VERSION must give the project's version"
#endif

// The screens' own procedures.
#define SCREEN(option, most, terminal, synopsis, usage, open, main)           \
    bool open(const std::vector<const char*>& operands, std::string* fault); \
    int main();
#include "screens/list.h"
#undef SCREEN

namespace {

// A screen besides the game, as the command line asks for it.
struct Screen {
    const char* option;
    size_t most;   // operands it takes at most
    bool terminal; // it takes the terminal
    const char* synopsis;
    const char* usage;
    bool (*open)(const std::vector<const char*>& operands, std::string* fault);
    int (*main)();
};

const Screen SCREENS[] = {
#define SCREEN(option, most, terminal, synopsis, usage, open, main) \
    {option, most, terminal, synopsis, usage, open, main},
#include "screens/list.h"
#undef SCREEN
};

std::string usage()
{
    std::string s = "用法：my-dropix [--help | --version";
    for (const Screen& k : SCREENS)
        s = s + " | " + k.synopsis;
    s += "]\n"
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
         "  --version        显示版本后退出\n";
    for (const Screen& k : SCREENS)
        s += k.usage;
    return s + "\n详细说明见 man 6 my-dropix。\n";
}

// Says what the log asked for and not written was, after the terminal is
// given back, however the program ends.
void say_log_fault()
{
    const std::string line = e_d();
    if (!line.empty())
        say(true, line);
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything is opened: no file of the program may take the place
    // of a closed standard descriptor.
    platform_prepare();
    // Arguments are dealt with before the screen is taken: answering them
    // must leave the terminal and data.txt alone.
    bool help = false, version = false;
    const Screen* screen = nullptr; // the game, unless one is asked for
    std::vector<const char*> operands;
    const char* rate = nullptr; // --rate N, as typed
    for (int k = 1; k < argc; k++) {
        const Screen* asked = nullptr;
        for (const Screen& s : SCREENS)
            if (std::strcmp(argv[k], s.option) == 0)
                asked = &s;
        if (std::strcmp(argv[k], "--help") == 0) {
            help = true;
        } else if (std::strcmp(argv[k], "--version") == 0) {
            version = true;
        } else if (std::strcmp(argv[k], "--rate") == 0 && !rate && k + 1 < argc) {
            rate = argv[++k];
        } else if (asked && !screen) {
            screen = asked;
            // Its operands, up to the next option.
            while (k + 1 < argc && operands.size() < screen->most && std::strncmp(argv[k + 1], "--", 2) != 0)
                operands.push_back(argv[++k]);
        } else {
            say(true, "my-dropix: 无法识别的参数“");
            say(true, argv[k], false); // as typed, control characters escaped
            say(true, "”；用法见 my-dropix --help\n");
            return 2;
        }
    }
    if (help || version) {
        if (say(false, help ? usage() : "my-dropix " DROPIX_VERSION "\n"))
            return 0;
        say(true, "my-dropix: 无法写入标准输出\n");
        return 1;
    }
    if (rate) {
        // Only a rate the viewer plays at, for a recording of it.
        bool known = false;
        for (int r : HF_RATES)
            known = known || std::to_string(r) == rate;
        if (!known || !screen || std::strcmp(screen->option, "--cast") != 0) {
            say(true, "my-dropix: --rate ");
            say(true, rate, false);
            say(true, known ? "：只用于 --cast；用法见 my-dropix --help\n"
                            : "：每秒的步数只能是 1、2、3、5、10、15、20、30 或 60\n");
            return 2;
        }
        lz_rate = std::atoi(rate);
    }
    std::string fault;
    if (screen && !screen->open(operands, &fault)) {
        // The file's name as given, the rest in the terminal's encoding.
        const char* name = "";
        for (const char* o : operands)
            if (!*name && fault.compare(0, std::strlen(o), o) == 0)
                name = o;
        const size_t n = std::strlen(name);
        const bool named = n > 0;
        say(true, "my-dropix: ");
        if (named)
            say(true, name, false);
        say(true, fault.substr(named ? n : 0) + "\n");
        return 1;
    }
    if (screen && !screen->terminal)
        return screen->main();
    std::unique_ptr<Platform> pf = platform_open();
    if (!pf) {
        say(true, "my-dropix: 无法写入标准输出\n");
        return 1;
    }
    std::atexit(say_log_fault);
    Console console(*pf);
    con = &console;
    const int status = screen ? screen->main() : g_main();
    console.flush();
    pf->restore();
    return status;
}
