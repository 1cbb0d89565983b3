// The dialog's layout at a density, without a toolkit: every length of the
// design (drawn at 96 pixels per inch) scaled to the density of the monitor
// the window is on, the QR image in pixels from its size in millimetres, and
// the size of the large image that still fits the monitor.
#pragma once

#include "UGeometry.h"

namespace qm {

// Edge length of the QR image in millimetres: normal, and the most the large
// image (after the caption's link was clicked) may have.
inline constexpr int kSmallImageMM = 120;
inline constexpr int kLargeImageMM = 200;

// The density the design lengths are given at (100 %).
inline constexpr int kDesignPixelsPerInch = 96;
// The design: the client area before the first card, the caption label's
// height and inner border, the dialog font's size in points, the image's
// distance from the left edge and from the label, the client area's margin
// right of and below the image.
inline constexpr TSize kDesignClientSize{244, 205};
inline constexpr int kDesignLabelHeight = 29;
inline constexpr int kDesignLabelBorder = 6;
inline constexpr int kDialogFontPoints = 9;
inline constexpr int kDesignImageLeft = 10;
inline constexpr int kDesignImageGap = 5;
inline constexpr int kDesignClientMargin = 20;

// `length` design pixels at `pixelsPerInch`: length x ppi / 96, rounded once
// to the nearest integer, halves away from zero.
// Preconditions: 0 <= length <= 100000, 24 <= pixelsPerInch <= 1200.
int ScaleToDensity(int length, int pixelsPerInch) noexcept;

// The window's layout in layout pixels: the caption label across the client
// width at the top (LabelHeight high, LabelBorder its inner border), the
// dialog font's character height (FontHeight, for the toolkit that does not
// size fonts itself), the image's top-left corner in the client area and the
// client area's size.
struct TDialogLayout {
    int LabelHeight = 0;
    int LabelBorder = 0;
    int FontHeight = 0;
    TPoint ImagePos;
    TSize ClientSize;
    friend bool operator==(const TDialogLayout&, const TDialogLayout&) = default;
};

// The layout at `pixelsPerInch` (24..1200) around an image of `image` layout
// pixels (each 0..100000): label 29, border 6, font 9 pt, image at (10, label
// + 5), client (width + 20, label + height + 20), every design length scaled
// once by ScaleToDensity.
TDialogLayout LayoutAroundImage(int pixelsPerInch, TSize image) noexcept;

// The layout before the first card: the design client size and the label at
// `pixelsPerInch` (24..1200), the image's place as LayoutAroundImage.
TDialogLayout InitialLayout(int pixelsPerInch) noexcept;

// Edge length in layout pixels of an image of `sizeMM` millimetres (1..1000)
// made at `imagePpi` pixels per inch (QRPixelSize) and shown in a layout of
// `layoutPpi` (both 24..1200): the image's pixels x layoutPpi / imagePpi,
// rounded to the nearest integer.
int ImageLayoutSize(int sizeMM, int imagePpi, int layoutPpi) noexcept;

// Edge length in millimetres of the large image: the largest from
// kLargeImageMM down to kSmallImageMM whose whole window, laid out by
// LayoutAroundImage at `layoutPpi` around the image of ImageLayoutSize(mm,
// imagePpi, layoutPpi) plus `frame` (outer minus client size), fits
// `workArea` (the work area of the window's monitor); kSmallImageMM when none
// fits. Sizes >= 0, densities 24..1200.
int LargeImageMM(TSize workArea, TSize frame, int imagePpi, int layoutPpi) noexcept;

}  // namespace qm
