// Entry point: answers --help and --version, or sets up the platform's
// console and plays.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#endif

#include "console/platform.h"
#include "my-dropix.h"

#ifndef DROPIX_VERSION
#error "DROPIX_VERSION must give the project's version"
#endif

namespace {

const char USAGE[] =
    "用法：my-dropix [--help | --version]\n"
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
    "  --help     显示本说明后退出\n"
    "  --version  显示版本后退出\n"
    "\n"
    "详细说明见 man 6 my-dropix。\n";

// Writes UTF-8 text in the encoding the terminal expects, as the game's
// own screens do; bytes that do not convert go out as they are.
void say(FILE* f, const char* utf8)
{
#ifdef _WIN32
    // The console takes UTF-16 whatever its code page; files get UTF-8.
    HANDLE h = GetStdHandle(f == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode;
    int len = static_cast<int>(std::strlen(utf8));
    int wide = MultiByteToWideChar(CP_UTF8, 0, utf8, len, nullptr, 0);
    if (GetConsoleMode(h, &mode) && wide > 0) {
        std::wstring w(static_cast<size_t>(wide), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8, len, &w[0], wide);
        DWORD done;
        std::fflush(f);
        WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &done, nullptr);
        return;
    }
#else
    const char* codeset = nl_langinfo(CODESET);
    iconv_t cd = std::strcmp(codeset, "UTF-8") == 0 ? reinterpret_cast<iconv_t>(-1) : iconv_open(codeset, "UTF-8");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        std::string out(4 * std::strlen(utf8) + 16, '\0');
        char* in = const_cast<char*>(utf8);
        size_t left = std::strlen(utf8), room = out.size();
        char* o = &out[0];
        bool whole = iconv(cd, &in, &left, &o, &room) != static_cast<size_t>(-1);
        iconv_close(cd);
        if (whole) {
            std::fwrite(out.data(), 1, out.size() - room, f);
            return;
        }
    }
#endif
    std::fputs(utf8, f);
}

} // namespace

int main(int argc, char** argv)
{
    // Texts reach the terminal in the encoding of the player's locale.
    std::setlocale(LC_ALL, "");
    // Arguments are dealt with before the console exists: answering them
    // must leave the terminal and data.txt alone.
    bool help = false, version = false;
    for (int k = 1; k < argc; k++) {
        if (std::strcmp(argv[k], "--help") == 0) {
            help = true;
        } else if (std::strcmp(argv[k], "--version") == 0) {
            version = true;
        } else {
            // The argument goes out as typed, in the terminal's encoding.
            say(stderr, "my-dropix: 无法识别的参数“");
            std::fputs(argv[k], stderr);
            say(stderr, "”；用法见 my-dropix --help\n");
            return 2;
        }
    }
    if (help || version) {
        if (help)
            say(stdout, USAGE);
        else
            std::fputs("my-dropix " DROPIX_VERSION "\n", stdout);
        return 0;
    }
    PlatformConsole pc;
    con = &pc;
    int status = g_main();
    pc.restore();
    return status;
}
