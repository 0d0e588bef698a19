// The program's directory from GetModuleFileNameW, whatever the current directory.
#include "app/Programa.h"

#include <vector>

#include <windows.h>

namespace ponteva {

std::filesystem::path directorioPrograma()
{
    std::vector<wchar_t> ruta(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, ruta.data(), static_cast<DWORD>(ruta.size()));
        if (n < ruta.size())
            return std::filesystem::path(std::wstring(ruta.data(), n)).parent_path();
        ruta.resize(ruta.size() * 2);
    }
}

} // namespace ponteva
