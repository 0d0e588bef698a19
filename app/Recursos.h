// Resource identifiers shared by the resource script and the window.
#pragma once

#define IDI_PONTEVA 1
#define IDI_OK 2
#define IDI_SALIR 3
