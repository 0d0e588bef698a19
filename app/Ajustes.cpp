// Veltrix.ini through WritePrivateProfileStringW.
#include "app/Ajustes.h"

#include "app/Finalizacion.h"
#include "app/Programa.h"
#include "core/Error.h"
#include "core/PathText.h"
#include "core/Win32Text.h"

#include <windows.h>

namespace ponteva {

std::filesystem::path rutaAjustes()
{
    return directorioPrograma() / kArchivoAjustes;
}

void escribirFinalizacion(const std::filesystem::path& ini, int valor)
{
    const std::wstring ruta = ini.wstring();
    const BOOL ok = WritePrivateProfileStringW(win32::widen(kSeccionAjustes).c_str(),
        win32::widen(kClaveAjustes).c_str(), std::to_wstring(valor).c_str(), ruta.c_str());
    if (!ok)
        throw Error("Unable to write to " + pathText(ini));
    // Hand the file to the timetabler as written now, not when the system's cache is flushed.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, ruta.c_str());
}

} // namespace ponteva
