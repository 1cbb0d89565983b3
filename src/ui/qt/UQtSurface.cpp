#include "UQtSurface.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeDatabase>
#include <QScreen>

#include <algorithm>
#include <array>

namespace qm {

namespace {

// Windows system colour indexes (GetSysColor) and the palette roles that
// stand for them here.
//   index  role                       group
struct TSystemColorRole {
    int Index;
    QPalette::ColorRole Role;
    QPalette::ColorGroup Group;
};
constexpr std::array<TSystemColorRole, 25> kSystemColorRoles{{
    {0, QPalette::Mid, QPalette::Active},                  // scroll bar
    {1, QPalette::Window, QPalette::Active},               // desktop
    {2, QPalette::Highlight, QPalette::Active},            // active caption
    {3, QPalette::Mid, QPalette::Active},                  // inactive caption
    {4, QPalette::Window, QPalette::Active},               // menu
    {5, QPalette::Base, QPalette::Active},                 // window
    {6, QPalette::Shadow, QPalette::Active},               // window frame
    {7, QPalette::WindowText, QPalette::Active},           // menu text
    {8, QPalette::WindowText, QPalette::Active},           // window text
    {9, QPalette::HighlightedText, QPalette::Active},      // caption text
    {10, QPalette::Window, QPalette::Active},              // active border
    {11, QPalette::Window, QPalette::Active},              // inactive border
    {12, QPalette::Dark, QPalette::Active},                // application workspace
    {13, QPalette::Highlight, QPalette::Active},           // highlight
    {14, QPalette::HighlightedText, QPalette::Active},     // highlight text
    {15, QPalette::Button, QPalette::Active},              // button face
    {16, QPalette::Dark, QPalette::Active},                // button shadow
    {17, QPalette::WindowText, QPalette::Disabled},        // gray text
    {18, QPalette::ButtonText, QPalette::Active},          // button text
    {19, QPalette::WindowText, QPalette::Disabled},        // inactive caption text
    {20, QPalette::Light, QPalette::Active},               // button highlight
    {21, QPalette::Shadow, QPalette::Active},              // 3-D dark shadow
    {22, QPalette::Midlight, QPalette::Active},            // 3-D light
    {23, QPalette::ToolTipText, QPalette::Active},         // info text
    {24, QPalette::ToolTipBase, QPalette::Active},         // info background
}};

QString FromUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QRect ToQRect(const TRect& r) { return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)); }

constexpr int kTextFlags = Qt::TextSingleLine | Qt::TextExpandTabs;

}  // namespace

QColor ToQColor(TColor color, const QPalette& palette) {
    if (color == clNone) return QColor(Qt::black);
    if (IsSystemColor(color)) {
        int index = static_cast<int>(color & 0xFF);
        for (const auto& entry : kSystemColorRoles)
            if (entry.Index == index) return palette.color(entry.Group, entry.Role);
        return QColor(Qt::black);
    }
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

QFont ToQFont(const TFontSpec& spec) {
    QFont font(QString::fromStdString(spec.Name));
    font.setPointSize(std::clamp(spec.Size, 1, kMaxFontPoints));
    font.setBold(spec.Bold);
    font.setItalic(spec.Italic);
    font.setUnderline(spec.Underline);
    font.setStrikeOut(spec.StrikeOut);
    return font;
}

TFontSpec FontSpecFromQFont(const QFont& font, TColor color, int pixelsPerInch) {
    TFontSpec spec;
    spec.Name = font.family().toStdString();
    if (font.pointSize() > 0) spec.Size = font.pointSize();
    else spec.Size = std::max(1, (font.pixelSize() * 72 + pixelsPerInch / 2) / std::max(1, pixelsPerInch));
    spec.Bold = font.bold();
    spec.Italic = font.italic();
    spec.Underline = font.underline();
    spec.StrikeOut = font.strikeOut();
    spec.Color = color;
    return spec;
}

TQtSurface::TQtSurface(QPainter* painter, const QPaintDevice* device, QPalette palette, TImageSources sources)
    : FPainter(painter), FDevice(device), FPalette(std::move(palette)), FSources(sources) {}

TQtSurface::~TQtSurface() {
    while (FClipDepth > 0) ResetClip();
}

const TQtSurface::TFontEntry& TQtSurface::Font(const TFontSpec& spec) {
    auto same = [&](const std::unique_ptr<TFontEntry>& e) {
        const TFontSpec& s = e->Spec;
        return s.Name == spec.Name && s.Size == spec.Size && s.Bold == spec.Bold && s.Italic == spec.Italic &&
               s.Underline == spec.Underline && s.StrikeOut == spec.StrikeOut;
    };
    auto it = std::find_if(FFonts.begin(), FFonts.end(), same);
    if (it != FFonts.end()) return **it;
    // A text rarely uses more than a handful of fonts; bound the cache anyway.
    if (FFonts.size() >= 32) FFonts.erase(FFonts.begin());
    QFont font = ToQFont(spec);
    QFontMetrics metrics = FDevice ? QFontMetrics(font, FDevice) : QFontMetrics(font);
    FFonts.push_back(std::make_unique<TFontEntry>(TFontEntry{spec, font, metrics}));
    return *FFonts.back();
}

TSize TQtSurface::MeasureText(const TFontSpec& font, std::string_view text) {
    const TFontEntry& f = Font(font);
    int height = f.Metrics.lineSpacing();
    if (text.empty()) return {0, height};
    QString s = FromUtf8(text);
    int width = s.contains(QLatin1Char('\t')) ? f.Metrics.size(kTextFlags, s).width() : f.Metrics.horizontalAdvance(s);
    return {width, height};
}

void TQtSurface::DrawText(const TFontSpec& font, TPoint at, std::string_view text, TColor color,
                          const std::vector<std::pair<std::size_t, std::size_t>>& underlined) {
    if (!FPainter || text.empty()) return;
    const TFontEntry& f = Font(font);
    QString s = FromUtf8(text);
    FPainter->save();
    FPainter->translate(at.X, at.Y);
    if (font.Orientation != 0) FPainter->rotate(-font.Orientation);
    FPainter->setFont(f.Font);
    QColor qc = ToQColor(color, FPalette);
    FPainter->setPen(qc);
    const int width = f.Metrics.size(kTextFlags, s).width();
    FPainter->drawText(QRect(0, 0, width + 1, f.Metrics.lineSpacing()),
                       kTextFlags | Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s);
    // The prefix mark's underline under single characters.
    const int y = f.Metrics.ascent() + std::max(1, f.Metrics.underlinePos());
    for (const auto& [first, last] : underlined) {
        if (last > text.size() || first >= last) continue;
        int x0 = f.Metrics.horizontalAdvance(FromUtf8(text.substr(0, first)));
        int x1 = x0 + f.Metrics.horizontalAdvance(FromUtf8(text.substr(first, last - first)));
        FPainter->fillRect(QRect(x0, y, std::max(1, x1 - x0), std::max(1, f.Metrics.lineWidth())), qc);
    }
    FPainter->restore();
}

void TQtSurface::FillRect(const TRect& rect, TColor color) {
    if (!FPainter || rect.Empty()) return;
    FPainter->fillRect(ToQRect(rect), ToQColor(color, FPalette));
}

void TQtSurface::DrawLine(TPoint from, TPoint to, TColor color, int width) {
    if (!FPainter) return;
    FPainter->save();
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(ToQColor(color, FPalette));
    pen.setWidth(std::max(1, width));
    pen.setCapStyle(Qt::SquareCap);
    FPainter->setPen(pen);
    FPainter->drawLine(from.X, from.Y, to.X, to.Y);
    FPainter->restore();
}

void TQtSurface::FillGradient(const TRect& rect, TColor from, TColor to, int steps) {
    if (!FPainter) return;
    auto plain = [&](TColor c) {
        QColor q = ToQColor(c, FPalette);
        return ColorRGB(q.red(), q.green(), q.blue());
    };
    for (const auto& [band, color] : GradientBands(rect, plain(from), plain(to), steps))
        FillRect(band, color);
}

QPixmap TQtSurface::FileTypeIcon(const std::string& fileName, int size) const {
    QString name = QString::fromStdString(fileName);
    QMimeType mime = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
    if (icon.isNull()) icon = QFileIconProvider().icon(QAbstractFileIconProvider::File);
    return icon.isNull() ? QPixmap() : icon.pixmap(size, size);
}

std::optional<TImageInfo> TQtSurface::ImageInfo(const TImageRef& image) {
    switch (image.Kind) {
        case TImageKind::ikList:
            if (FSources.Images && FSources.Images->At(image.Index))
                return TImageInfo{{FSources.Images->Width(), FSources.Images->Height()}, 1};
            return std::nullopt;
        case TImageKind::ikSmallFileIcon:
        case TImageKind::ikLargeFileIcon: {
            int size = image.Kind == TImageKind::ikSmallFileIcon ? 16 : 32;
            if (FileTypeIcon(image.Name, size).isNull()) return std::nullopt;
            return TImageInfo{{size, size}, 1};
        }
        case TImageKind::ikAddress: {
            const TPicture* p = FSources.Cache ? FSources.Cache->Find(image.Name) : nullptr;
            if (!p) {
                if (!FSources.Cache || !FSources.Cache->Contains(image.Name)) FMissing.insert(image.Name);
                return std::nullopt;
            }
            return TImageInfo{{p->Image.width(), p->Image.height()}, p->Frames};
        }
        case TImageKind::ikStore: {
            const TPicture* p = FSources.Store ? FSources.Store->Find(image.Name) : nullptr;
            if (!p) return std::nullopt;
            return TImageInfo{{p->Image.width(), p->Image.height()}, p->Frames};
        }
    }
    return std::nullopt;
}

void TQtSurface::DrawImage(const TImageRef& image, const TRect& dest) {
    if (!FPainter || dest.Empty()) return;
    const QRect target = ToQRect(dest);
    switch (image.Kind) {
        case TImageKind::ikList:
            if (FSources.Images && FSources.Images->At(image.Index))
                FPainter->drawPixmap(target, *FSources.Images->At(image.Index));
            return;
        case TImageKind::ikSmallFileIcon:
        case TImageKind::ikLargeFileIcon: {
            QPixmap icon = FileTypeIcon(image.Name, image.Kind == TImageKind::ikSmallFileIcon ? 16 : 32);
            if (!icon.isNull()) FPainter->drawPixmap(target, icon);
            return;
        }
        case TImageKind::ikAddress:
        case TImageKind::ikStore: {
            const TPicture* p = nullptr;
            if (image.Kind == TImageKind::ikAddress && FSources.Cache) p = FSources.Cache->Find(image.Name);
            if (image.Kind == TImageKind::ikStore && FSources.Store) p = FSources.Store->Find(image.Name);
            if (p) FPainter->drawImage(target, p->Image);
            return;
        }
    }
}

void TQtSurface::SetClip(const TRect& rect) {
    if (!FPainter) return;
    FPainter->save();
    FPainter->setClipRect(ToQRect(rect), Qt::IntersectClip);
    ++FClipDepth;
}

void TQtSurface::ResetClip() {
    if (!FPainter || FClipDepth == 0) return;
    FPainter->restore();
    --FClipDepth;
}

int TQtSurface::PixelsPerInch() const {
    if (FDevice) return FDevice->logicalDpiY();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) return static_cast<int>(screen->logicalDotsPerInchY());
    return 96;
}

}  // namespace qm
