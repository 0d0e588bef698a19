#include "WorkDir.h"

#include <cstdlib>

namespace ponteva {

std::filesystem::path defaultWorkingDirectory()
{
#ifdef _WIN32
    return std::filesystem::path("C:\\VTEMP");
#else
    std::filesystem::path prefix;
    if (const char* wine = std::getenv("WINEPREFIX"); wine && *wine)
        prefix = wine;
    else if (const char* home = std::getenv("HOME"); home && *home)
        prefix = std::filesystem::path(home) / ".wine";
    else
        prefix = ".wine";
    return prefix / "drive_c" / "VTEMP";
#endif
}

} // namespace ponteva
