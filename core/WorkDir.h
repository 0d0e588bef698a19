// Where the timetabler keeps its working tables when the user names no directory.
#pragma once

#include <filesystem>

namespace ponteva {

// C:\VTEMP on Windows; elsewhere drive_c/VTEMP inside the Wine prefix
// ($WINEPREFIX, or ~/.wine), where the Windows timetabler keeps it under Wine.
std::filesystem::path defaultWorkingDirectory();

} // namespace ponteva
