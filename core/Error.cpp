#include "Error.h"

#include <cerrno>
#include <cstring>

namespace ponteva {

std::string describeErrno(int err)
{
    switch (err) {
    case ENOENT: return "no existe";
    case EACCES:
    case EPERM: return "permiso denegado";
    case ENOSPC: return "no queda espacio en el disco";
#ifdef EDQUOT // not on Windows
    case EDQUOT: return "se ha superado la cuota de disco";
#endif
    case EROFS: return "el disco es de solo lectura";
    case EIO: return "error de entrada/salida del disco";
    case EISDIR: return "es un directorio";
    case ENOTDIR: return "una parte de la ruta no es un directorio";
    case EBUSY:
    case ETXTBSY: return "el archivo está en uso";
    case EMFILE:
    case ENFILE: return "demasiados archivos abiertos";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    case EFBIG: return "el archivo es demasiado grande";
    default: return std::string("error del sistema ") + std::to_string(err) + " (" + std::strerror(err) + ")";
    }
}

} // namespace ponteva
