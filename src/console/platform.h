// The console of the platform being built for.
#pragma once

#if defined(_WIN32)
#include "console/windows/windows_console.h"
using PlatformConsole = WindowsConsole;
#else
#include "console/posix/posix_console.h"
using PlatformConsole = PosixConsole;
#endif
