// Entry point: sets up the platform's console and plays.
#include "console/platform.h"
#include "my-dropix.h"

int main()
{
    PlatformConsole pc;
    con = &pc;
    const int status = g_main();
    pc.restore();
    return status;
}
