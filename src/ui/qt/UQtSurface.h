// The text engine's drawing surface on a QPainter: QFont/QFontMetrics for
// text, palette colours for the Windows system colours, the label's image
// sources for inline pictures.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "UHTMLSurface.h"
#include "UMarkupImages.h"

namespace qm {

// Where the surface finds pictures; every pointer may be null.
struct TImageSources {
    const TImageList* Images = nullptr;
    const TPictureStore* Store = nullptr;
    const TPictureCache* Cache = nullptr;
};

// Colour of a TColor: plain colours directly, system colours from `palette`
// (unknown indexes and clNone give black).
QColor ToQColor(TColor color, const QPalette& palette);

// The Qt font of a font spec (points, styles; colour and rotation are not
// part of a QFont).
QFont ToQFont(const TFontSpec& spec);

// The font spec of a Qt font; pixel sizes are converted to points at
// `pixelsPerInch`. Color is set to `color`.
TFontSpec FontSpecFromQFont(const QFont& font, TColor color, int pixelsPerInch);

class TQtSurface : public THTMLSurface {
public:
    // `painter` may be null: then the surface only measures and every
    // drawing call does nothing. `device` gives the font metrics and the
    // pixels per inch (null: the screen's, 96 dpi when there is none).
    TQtSurface(QPainter* painter, const QPaintDevice* device, QPalette palette, TImageSources sources);
    ~TQtSurface() override;

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
        TFontSpec Spec;  // Color and Orientation ignored for matching
        QFont Font;
        QFontMetrics Metrics;
    };
    const TFontEntry& Font(const TFontSpec& spec);
    QPixmap FileTypeIcon(const std::string& fileName, int size) const;

    QPainter* FPainter;
    const QPaintDevice* FDevice;
    QPalette FPalette;
    TImageSources FSources;
    std::vector<std::unique_ptr<TFontEntry>> FFonts;
    std::set<std::string> FMissing;
    int FClipDepth = 0;
};

}  // namespace qm
