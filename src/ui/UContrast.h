// Colours that stay readable: contrast as WCAG 2.x measures it, the choice
// of the caption's link colour against whatever background the desktop's
// theme gives the caption, and the colours of caption and window under a
// High Contrast theme.
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

// The desktop's colours the dialog may take, as plain colours: the window
// background, the window's text and the hyperlink colour of the theme.
struct TSystemColors {
    TColor Window = clWhite;
    TColor WindowText = clBlack;
    TColor HotLight = clBlue;
};

// What the dialog paints around the QR code, all plain colours. The code
// and its light quiet zone are no part of it: they stay black on white
// whatever the theme, so that the code scans.
struct TDialogColors {
    TColor Window = clWhite;   // the client area around caption and code
    TColor Caption = clWhite;  // the caption's background
    TColor Text = clBlack;     // the caption's text
    TColor Link = clBlue;      // the caption's links
    friend bool operator==(const TDialogColors&, const TDialogColors&) = default;
};

// The dialog's colours: with a High Contrast theme on, the theme's own
// (window and caption in system.Window, text in WindowText, links in
// HotLight) as the user chose them; otherwise the window and the caption
// in `panel` (a plain colour), the text in WindowText and the links blue as
// ReadableLinkColor(clBlue, panel, system.HotLight) makes them.
TDialogColors DialogColors(bool highContrast, TColor panel, const TSystemColors& system) noexcept;

}  // namespace qm
