// The Win32 headers as this folder includes them.
#pragma once

#include "UColor.h"
#include "UHTMLSurface.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <objbase.h>
#include <shldisp.h>
#include <shlobj.h>

#undef DrawText
