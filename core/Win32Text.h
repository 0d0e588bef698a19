// UTF-8 and the UTF-16 of the Windows wide-character API. Windows only.
#pragma once

#include <string>
#include <string_view>

namespace ponteva::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The errno value closest to a Windows error code, so that one set of Spanish
// descriptions (describeErrno) serves both platforms.
int errnoFromWin32(unsigned long error);

} // namespace ponteva::win32
