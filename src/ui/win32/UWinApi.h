// The Win32 headers as this folder includes them. <windows.h> defines RGB
// and the COLOR_* system colour indexes as macros, which would turn our own
// declarations of the same names (UColor.h, UHTMLSurface.h) into syntax
// errors: those headers are read with the macros set aside, whichever came
// first. Later uses of the macros expand to the same values.
#pragma once

// The surface interface has an operation called DrawText; the API's
// DrawText macro (DrawTextA/DrawTextW) is not used here.
#undef DrawText

#pragma push_macro("RGB")
#pragma push_macro("COLOR_HIGHLIGHT")
#pragma push_macro("COLOR_HIGHLIGHTTEXT")
#pragma push_macro("COLOR_BTNFACE")
#pragma push_macro("COLOR_BTNSHADOW")
#pragma push_macro("COLOR_BTNHIGHLIGHT")
#undef RGB
#undef COLOR_HIGHLIGHT
#undef COLOR_HIGHLIGHTTEXT
#undef COLOR_BTNFACE
#undef COLOR_BTNSHADOW
#undef COLOR_BTNHIGHLIGHT
#include "UColor.h"
#include "UHTMLSurface.h"
#pragma pop_macro("COLOR_BTNHIGHLIGHT")
#pragma pop_macro("COLOR_BTNSHADOW")
#pragma pop_macro("COLOR_BTNFACE")
#pragma pop_macro("COLOR_HIGHLIGHTTEXT")
#pragma pop_macro("COLOR_HIGHLIGHT")
#pragma pop_macro("RGB")

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <objbase.h>
#include <shldisp.h>
#include <shlobj.h>

#undef DrawText
