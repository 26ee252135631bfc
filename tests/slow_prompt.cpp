// Preloaded into the game by a test: once the game has written the pause
// prompt, its write returns only 300 ms later, as if the game had lost the
// processor right then. A key typed in answer to the prompt arrives in
// that time, and must still end the pause.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

extern "C" ssize_t write(int fd, const void* buf, size_t n)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static Write real = [] {
        void* sym = dlsym(RTLD_NEXT, "write");
        Write w;
        std::memcpy(&w, &sym, sizeof w);
        return w;
    }();
    const ssize_t r = real(fd, buf, n);
    static const char PROMPT[] = "请按任意键继续";
    if (fd == STDOUT_FILENO && r > 0 && memmem(buf, static_cast<size_t>(r), PROMPT, sizeof PROMPT - 1)) {
        struct timespec ts = {0, 300 * 1000000L};
        nanosleep(&ts, nullptr);
    }
    return r;
}
