// Files in text mode, through the C runtime.
#include <cstdio>

#include "console/file.h"

void file_empty(const char* name)
{
    FILE* f = std::fopen(name, "w");
    if (f)
        std::fclose(f);
}

void file_append(const char* name, const char* p, size_t n)
{
    FILE* f = std::fopen(name, "a");
    if (!f)
        return;
    std::setvbuf(f, nullptr, _IONBF, 0);
    std::fwrite(p, 1, n, f);
    std::fclose(f);
}
