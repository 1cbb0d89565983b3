// The Win32 headers as this folder includes them. Our colour helpers come
// first: <windows.h> defines RGB and the COLOR_* system colour indexes as
// macros, which would otherwise turn our own declarations of the same names
// into syntax errors. Later uses expand to the same values.
#pragma once

#include "UColor.h"
#include "UHTMLSurface.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The surface interface has an operation called DrawText; the API's
// DrawText macro (DrawTextA/DrawTextW) is not used here.
#undef DrawText
