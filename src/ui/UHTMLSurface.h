// Plain value types of the caption text engine and the drawing surface it
// paints on. The engine (UHTMLText) knows nothing of any window system; a
// surface implementation turns these calls into real drawing (UQtSurface)
// or records them (tests, fuzzing).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UColor.h"
#include "UGeometry.h"

namespace qm {

// System colour indexes used by the engine and the label.
inline constexpr int kColorHighlight = 13;
inline constexpr int kColorHighlightText = 14;
inline constexpr int kColorBtnFace = 15;
inline constexpr int kColorBtnShadow = 16;
inline constexpr int kColorBtnHighlight = 20;



// A font as the engine changes it. Size is in points (1..kMaxFontPoints);
// Orientation in degrees, counter-clockwise.
struct TFontSpec {
    std::string Name;
    int Size = 9;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    TColor Color = clBlack;
    int Orientation = 0;
    bool operator==(const TFontSpec&) const = default;
};

inline constexpr int kMaxFontPoints = 512;

// Where an inline picture comes from (the SRC of "<IMG>" or the BACKGROUND
// of "<BODY>").
enum class TImageKind {
    ikList,           // Index into the label's image list ("IDX:n")
    ikSmallFileIcon,  // small icon of the file type of Name ("SSYS:name")
    ikLargeFileIcon,  // large icon of the file type of Name ("LSYS:name")
    ikAddress,        // picture cache entry for the address Name (holds "://")
    ikStore,          // picture named Name in the picture store
};

struct TImageRef {
    TImageKind Kind = TImageKind::ikStore;
    int Index = 0;
    std::string Name;
    bool operator==(const TImageRef&) const = default;
};

// What the surface knows of a picture: its natural size in pixels and how
// many frames it has (animated pictures have more than one).
struct TImageInfo {
    TSize Size;
    int Frames = 1;
};

// The drawing services the engine needs. Text given to MeasureText and
// DrawText is plain UTF-8 on one line: prefix marks and ellipses are already
// resolved by the engine; tabs are expanded by the surface.
class THTMLSurface {
public:
    virtual ~THTMLSurface() = default;

    // Width and height of one line of `text` in `font`; the height includes
    // the font's external leading and is the font's line height even for "".
    virtual TSize MeasureText(const TFontSpec& font, std::string_view text) = 0;

    // Draws `text` with its cell's top-left corner at `at`, in `color`
    // (the font's own colour is ignored), rotated by font.Orientation about
    // `at`. `underlined` lists byte ranges [first, second) of characters that
    // get an underline of their own (the prefix mark).
    virtual void DrawText(const TFontSpec& font, TPoint at, std::string_view text, TColor color,
                          const std::vector<std::pair<std::size_t, std::size_t>>& underlined) = 0;

    virtual void FillRect(const TRect& rect, TColor color) = 0;
    // A line from `from` to `to` (both end points drawn) with a pen `width` wide.
    virtual void DrawLine(TPoint from, TPoint to, TColor color, int width) = 0;
    // A gradient from left `from` to right `to` made of `steps` vertical bands.
    virtual void FillGradient(const TRect& rect, TColor from, TColor to, int steps) = 0;

    // The picture's natural size, or nothing when it cannot be drawn (missing
    // index, unknown name, not loaded yet).
    virtual std::optional<TImageInfo> ImageInfo(const TImageRef& image) = 0;
    // Draws the picture stretched into `dest`.
    virtual void DrawImage(const TImageRef& image, const TRect& dest) = 0;

    // Limits drawing to `rect` until ResetClip.
    virtual void SetClip(const TRect& rect) = 0;
    virtual void ResetClip() = 0;

    // Logical pixels per inch of the device (96 at 100 %).
    virtual int PixelsPerInch() const = 0;
};

// The `steps` bands of a left-to-right gradient over `rect`: band i covers
// [Left + i*W/steps, Left + (i+1)*W/steps) and has the colour interpolated
// linearly at i/(steps-1). Empty for an empty rect; steps < 1 counts as 1.
// System colours must be resolved to plain colours by the caller.
std::vector<std::pair<TRect, TColor>> GradientBands(const TRect& rect, TColor from, TColor to,
                                                    int steps);

}  // namespace qm
