// libxml2's handler for Windows-1252, from our own tables, so that a document in the
// Windows code page loads and saves alike whether or not libxml2 has iconv (it has none
// in the Windows build).
#pragma once

namespace ponteva::xml::detail {

// Registers "windows-1252" with the alias "CP1252". Called once, from the one-time
// libxml2 initialisation.
void registerWindows1252Encoding();

} // namespace ponteva::xml::detail
