// The text engine's drawing surface on a GDI device context: fonts from
// CreateFontW (rotated by escapement), text measured with
// GetTextExtentPoint32W and drawn with ExtTextOutW, GetSysColor for the
// Windows system colours, the label's image sources for inline pictures.
#pragma once

#include "UWinApi.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "UHTMLSurface.h"
#include "UMarkupImages.h"
#include "UWinHandles.h"

namespace qm {

// Where the surface finds pictures; every pointer may be null.
struct TImageSources {
    const TImageList* Images = nullptr;
    const TPictureStore* Store = nullptr;
    const TPictureCache* Cache = nullptr;
};

// The GDI colour of a TColor: plain colours as they are (both are
// 0x00BBGGRR), system colours from GetSysColor; clNone and clDefault give
// black.
COLORREF ToColorRef(TColor color) noexcept;

// The logical font of a TFontSpec at `pixelsPerInch` (> 0): the height is
// the negative character height -MulDiv(points, ppi, 72), the escapement
// and orientation are its Orientation in tenths of degrees.
LOGFONTW LogFontOf(const TFontSpec& spec, int pixelsPerInch) noexcept;

// The TFontSpec of a logical font; a character height is converted to
// points at `pixelsPerInch` (> 0). Color is set to `color`.
TFontSpec FontSpecFromLogFont(const LOGFONTW& font, TColor color, int pixelsPerInch);

// Draws `image` stretched into `dest` with StretchDIBits in colour-on-colour
// (nearest neighbour) mode, so that every module of a QR image stays a sharp
// square. Nothing for an empty image or rect.
void DrawRGBImage(HDC dc, const TRGBImage& image, const TRect& dest);
// Draws `image` at its own pixel size with its top-left corner at `at`.
void DrawRGBImage(HDC dc, const TRGBImage& image, TPoint at);

class TGdiSurface : public THTMLSurface {
public:
    // `dc` may be null: then the surface only measures (on a memory DC
    // compatible with the screen) and every drawing call does nothing.
    // A non-null `dc` must outlive the surface; its selected objects, text
    // colour, background mode and clipping are the same afterwards.
    // `pixelsPerInch` (24..1200) is the density fonts are made for, the one
    // of the window drawn in; 0 takes the DC's (GetDeviceCaps LOGPIXELSY,
    // under per-monitor awareness the system's, not the window's).
    TGdiSurface(HDC dc, TImageSources sources, int pixelsPerInch = 0);
    ~TGdiSurface() override;
    TGdiSurface(const TGdiSurface&) = delete;
    TGdiSurface& operator=(const TGdiSurface&) = delete;

    TSize MeasureText(const TFontSpec& font, std::string_view text) override;
    void DrawText(const TFontSpec& font, TPoint at, std::string_view text, TColor color,
                  const std::vector<std::pair<std::size_t, std::size_t>>& underlined) override;
    void FillRect(const TRect& rect, TColor color) override;
    void DrawLine(TPoint from, TPoint to, TColor color, int width) override;
    void FillGradient(const TRect& rect, TColor from, TColor to, int steps) override;
    std::optional<TImageInfo> ImageInfo(const TImageRef& image) override;
    void DrawImage(const TImageRef& image, const TRect& dest) override;
    void SetClip(const TRect& rect) override;
    void ResetClip() override;
    int PixelsPerInch() const override;

    // Addresses of pictures asked for that the cache does not hold yet.
    const std::set<std::string>& MissingAddresses() const noexcept { return FMissing; }

private:
    struct TFontEntry {
        TFontSpec Spec;  // Color ignored for matching
        TFontHandle Font;
        TEXTMETRICW Metrics{};
    };
    const TFontEntry& Font(const TFontSpec& spec);
    // The wide text as drawn in `entry`'s font (the list bullet of a symbol
    // font moved to the font's private-use page).
    static std::wstring GlyphText(const TFontEntry& entry, std::string_view text);
    int WidthOf(const TFontEntry& entry, std::wstring_view text) const;
    HDC MetricsDC() const noexcept { return FDC ? FDC : FMeasureDC->Get(); }

    HDC FDC;
    std::unique_ptr<TMemoryDC> FMeasureDC;
    int FPixelsPerInch;
    TImageSources FSources;
    std::vector<std::unique_ptr<TFontEntry>> FFonts;
    std::set<std::string> FMissing;
    int FClipDepth = 0;
};

}  // namespace qm
