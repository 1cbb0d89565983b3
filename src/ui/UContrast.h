// Colours that stay readable: contrast as WCAG 2.x measures it, and the
// choice of the caption's link colour against whatever background the
// desktop's theme gives the caption.
#pragma once

#include "UColor.h"

namespace qm {

// The contrast ratio of two plain colours (not system colours): (L1 + 0.05)
// / (L2 + 0.05) with L the relative luminance of the lighter and the darker
// one (WCAG 2.x, "contrast ratio" and "relative luminance", sRGB). 1 for
// equal colours up to 21 for black on white.
double ContrastRatio(TColor a, TColor b) noexcept;

// What WCAG 2.x level AA asks of normal text.
inline constexpr double kReadableContrast = 4.5;

// The colour to draw a link in on `background`, all plain colours:
// `preferred` where it reaches kReadableContrast, else `themeLink` (the
// desktop theme's own link colour) where that does, else a blue that does:
// `preferred` blended towards white on a dark background or towards black
// on a light one, in the first of 16 steps that reaches it (black or white
// at the end, which always do).
TColor ReadableLinkColor(TColor preferred, TColor background, TColor themeLink) noexcept;

}  // namespace qm
