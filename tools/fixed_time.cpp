// Preloaded into the game by the screenshot tool: the calendar stands still
// at one moment, so the game seeds its piece generator alike on every run
// and the picture changes only when the game's look does. The clock that
// times the game's turns is another one and runs as usual.
#include <time.h>

extern "C" time_t time(time_t* t) noexcept
{
    const time_t still = 1796601600; // the first release's date
    if (t)
        *t = still;
    return still;
}
