// Entry point: sets up the platform's console and plays.
#include <clocale>

#include "console/platform.h"
#include "my-dropix.h"

int main()
{
    // Texts reach the terminal in the encoding of the player's locale.
    std::setlocale(LC_ALL, "");
    PlatformConsole pc;
    con = &pc;
    int status = g_main();
    pc.restore();
    return status;
}
