// Preloaded into the game by a test: when the game opens data.txt to
// append, the FIFO swap.fifo (if there is one) is first renamed over it, as
// if someone swapped the file between the game's look at it and its open.
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>

#include <cstdio>
#include <cstring>

namespace {

using Open = int (*)(const char*, int, ...);

Open next(const char* name)
{
    void* sym = dlsym(RTLD_NEXT, name);
    Open f;
    std::memcpy(&f, &sym, sizeof f);
    return f;
}

void swap(const char* path, int flags)
{
    if ((flags & O_APPEND) && std::strcmp(path, "data.txt") == 0)
        std::rename("swap.fifo", "data.txt");
}

} // namespace

#define SWAPPED_OPEN(name)                            \
    extern "C" int name(const char* path, int flags, ...) \
    {                                                 \
        static const Open real = next(#name);         \
        swap(path, flags);                            \
        int mode = 0;                                 \
        if (flags & O_CREAT) {                        \
            va_list ap;                               \
            va_start(ap, flags);                      \
            mode = va_arg(ap, int);                   \
            va_end(ap);                               \
        }                                             \
        return real(path, flags, mode);               \
    }

SWAPPED_OPEN(open)
SWAPPED_OPEN(open64)
