#pragma once
// <windows.h> the way every Win32 file of the program includes it: the
// wide-character functions, without the rarely used parts and without the
// min and max macros that clash with the standard library.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
