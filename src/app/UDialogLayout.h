// The dialog's layout at a density, without a toolkit: every length of the
// design (drawn at 96 pixels per inch) scaled to the density of the monitor
// the window is on, widened where needed to the light quiet zone a reader
// needs around the code (ISO/IEC 18004), the QR image in pixels from its size
// in millimetres, and the size of the large image that still fits the monitor.
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

// Modules of light quiet zone around a QR symbol (ISO/IEC 18004). The .png
// has none of its own; the white panel around the picture gives it on screen.
inline constexpr int kQuietZoneModules = 4;

// Layout pixels of kQuietZoneModules modules of a symbol `modules` modules
// across (quiet zone of the image included), shown `imageEdge` layout pixels
// wide: 4 x ceil(imageEdge / modules). The module edge is rounded up, as
// nearest-neighbour scaling makes modules of both neighbouring widths.
// Preconditions: 0 <= imageEdge <= 100000, 1 <= modules <= 1000.
int QuietZonePixels(int imageEdge, int modules) noexcept;

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
// pixels (each 0..100000) that shows `modules` modules across (1..1000):
// label 29, border 6, font 9 pt, every design length scaled once by
// ScaleToDensity; the image 10 from the left and 5 below the label, the
// client area 20 wider and 20 higher than label and image, each of the four
// margins so made widened to QuietZonePixels where that is more.
TDialogLayout LayoutAroundImage(int pixelsPerInch, TSize image, int modules) noexcept;

// The layout before the first card: the design client size and the label at
// `pixelsPerInch` (24..1200), the image's place as LayoutAroundImage.
TDialogLayout InitialLayout(int pixelsPerInch) noexcept;

// The layout of a window whose layout pixels are the screen's pixels at
// `pixelsPerInch` (24..1200) around a card image of `imageMM` millimetres
// (1..1000) made at that density, showing `modules` modules across
// (1..1000): LayoutAroundImage around an image of ImageLayoutSize(imageMM,
// pixelsPerInch, pixelsPerInch) pixels. `imageMM` 0 (no card yet):
// InitialLayout.
TDialogLayout CardLayoutAtDensity(int pixelsPerInch, int imageMM, int modules) noexcept;

// Edge length in layout pixels of an image of `sizeMM` millimetres (1..1000)
// made at `imagePpi` pixels per inch (QRPixelSize) and shown in a layout of
// `layoutPpi` (both 24..1200): the image's pixels x layoutPpi / imagePpi,
// rounded to the nearest integer.
int ImageLayoutSize(int sizeMM, int imagePpi, int layoutPpi) noexcept;

// Edge length in millimetres of the large image: the largest from
// kLargeImageMM down to kSmallImageMM whose whole window, laid out by
// LayoutAroundImage at `layoutPpi` around the image of ImageLayoutSize(mm,
// imagePpi, layoutPpi) showing `modules` modules (1..1000) plus `frame`
// (outer minus client size), fits `workArea` (the work area of the window's
// monitor); kSmallImageMM when none fits. Sizes >= 0, densities 24..1200.
int LargeImageMM(TSize workArea, TSize frame, int imagePpi, int layoutPpi, int modules) noexcept;

}  // namespace qm
