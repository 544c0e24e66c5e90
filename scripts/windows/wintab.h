/* Wintab for the cross-built Qt windows platform plugin. Debian's Qt source leaves out the
 * wintab headers and mingw-w64 has none, so Wine's declarations (LGPL-2.1, from
 * libwine-dev) serve, with Wine's own A/W naming macros mapped onto mingw's. */
#ifndef KELVORA_WINTAB_SHIM_H
#define KELVORA_WINTAB_SHIM_H
#include <windows.h>
#ifndef WINELIB_NAME_AW
#define WINELIB_NAME_AW(name) __MINGW_NAME_AW(name)
#endif
#ifndef DECL_WINELIB_TYPE_AW
#define DECL_WINELIB_TYPE_AW(type) typedef __MINGW_NAME_AW(type) type;
#endif
#ifndef API
#define API WINAPI
#endif
#include "wine_wintab.h"
#endif
