#include "UGdiSurface.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qm {

namespace {

// The list bullet the engine asks for (U+2022) and where a symbol-charset
// font keeps it: such fonts map their 8-bit code page onto U+F000..U+F0FF,
// and the bullet of the "Symbol" font is its character 183.
constexpr wchar_t kBullet = 0x2022;
constexpr wchar_t kSymbolBullet = 0xF0B7;

// Icons of file types as "SSYS:" and "LSYS:" lay them out before scaling.
constexpr int kSmallIconSize = 16;
constexpr int kLargeIconSize = 32;

// The shell's icon for files of the type of `fileName`; the file need not
// exist (SHGFI_USEFILEATTRIBUTES).
TIconHandle FileTypeIcon(const std::string& fileName, bool small) {
    SHFILEINFOW info{};
    const UINT flags = SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | (small ? SHGFI_SMALLICON : SHGFI_LARGEICON);
    if (!SHGetFileInfoW(ToWide(fileName).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags))
        return TIconHandle(nullptr);
    return TIconHandle(info.hIcon);
}

bool HasTab(std::wstring_view text) { return text.find(L'\t') != std::wstring_view::npos; }

int ClampedLength(std::size_t length) { return static_cast<int>(std::min<std::size_t>(length, 1 << 30)); }

}  // namespace

COLORREF ToColorRef(TColor color) noexcept {
    if (color == clNone || color == clDefault) return RGB(0, 0, 0);
    if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0x00FFFFFF);
}

LOGFONTW LogFontOf(const TFontSpec& spec, int pixelsPerInch) noexcept {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(std::clamp(spec.Size, 1, kMaxFontPoints), pixelsPerInch, 72);
    font.lfEscapement = font.lfOrientation = (spec.Orientation % 360) * 10;
    font.lfWeight = spec.Bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = spec.Italic;
    font.lfUnderline = spec.Underline;
    font.lfStrikeOut = spec.StrikeOut;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = ToWide(spec.Name);
    // Face names longer than LF_FACESIZE - 1 cannot name an installed font;
    // they are cut and the font mapper picks the nearest match.
    const std::size_t n = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
    std::copy_n(face.begin(), n, font.lfFaceName);
    font.lfFaceName[n] = L'\0';
    return font;
}

TFontSpec FontSpecFromLogFont(const LOGFONTW& font, TColor color, int pixelsPerInch) {
    TFontSpec spec;
    spec.Name = FromWide(std::wstring_view(font.lfFaceName, wcsnlen(font.lfFaceName, LF_FACESIZE)));
    const int pixels = std::abs(static_cast<int>(font.lfHeight));
    if (pixels > 0) spec.Size = std::clamp(MulDiv(pixels, 72, std::max(1, pixelsPerInch)), 1, kMaxFontPoints);
    spec.Bold = font.lfWeight >= FW_BOLD;
    spec.Italic = font.lfItalic != 0;
    spec.Underline = font.lfUnderline != 0;
    spec.StrikeOut = font.lfStrikeOut != 0;
    spec.Orientation = font.lfEscapement / 10;
    spec.Color = color;
    return spec;
}

void DrawRGBImage(HDC dc, const TRGBImage& image, const TRect& dest) {
    if (!dc || image.Width <= 0 || image.Height <= 0 || dest.Empty()) return;
    // A top-down 24-bit DIB: rows of blue, green, red, padded to 4 bytes.
    const std::size_t stride = (static_cast<std::size_t>(image.Width) * 3 + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(image.Height));
    for (int y = 0; y < image.Height; ++y) {
        const auto row = image.Row(y);
        std::uint8_t* out = bits.data() + stride * static_cast<std::size_t>(y);
        for (std::size_t x = 0; x < static_cast<std::size_t>(image.Width); ++x) {
            out[x * 3] = row[x * 3 + 2];
            out[x * 3 + 1] = row[x * 3 + 1];
            out[x * 3 + 2] = row[x * 3];
        }
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.Width;
    info.bmiHeader.biHeight = -image.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), 0, 0, image.Width, image.Height,
                  bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    if (oldMode) SetStretchBltMode(dc, oldMode);
}

void DrawRGBImage(HDC dc, const TRGBImage& image, TPoint at) {
    DrawRGBImage(dc, image, TRect{at.X, at.Y, at.X + image.Width, at.Y + image.Height});
}

TGdiSurface::TGdiSurface(HDC dc, TImageSources sources, int pixelsPerInch) : FDC(dc), FSources(sources) {
    if (!FDC) FMeasureDC = std::make_unique<TMemoryDC>();
    FPixelsPerInch = pixelsPerInch > 0 ? pixelsPerInch : GetDeviceCaps(MetricsDC(), LOGPIXELSY);
}

TGdiSurface::~TGdiSurface() {
    while (FClipDepth > 0) ResetClip();
}

const TGdiSurface::TFontEntry& TGdiSurface::Font(const TFontSpec& spec) {
    auto same = [&](const std::unique_ptr<TFontEntry>& e) {
        const TFontSpec& s = e->Spec;
        return s.Name == spec.Name && s.Size == spec.Size && s.Bold == spec.Bold && s.Italic == spec.Italic &&
               s.Underline == spec.Underline && s.StrikeOut == spec.StrikeOut && s.Orientation == spec.Orientation;
    };
    auto it = std::find_if(FFonts.begin(), FFonts.end(), same);
    if (it != FFonts.end()) return **it;
    // A text rarely uses more than a handful of fonts; bound the cache anyway.
    if (FFonts.size() >= 32) FFonts.erase(FFonts.begin());
    const LOGFONTW logFont = LogFontOf(spec, FPixelsPerInch);
    auto entry = std::make_unique<TFontEntry>();
    entry->Spec = spec;
    entry->Font.Reset(CreateFontIndirectW(&logFont));
    // Without a font of its own the DC's current (system) font measures.
    const TSelection selected(MetricsDC(), entry->Font ? entry->Font.Get() : GetStockObject(SYSTEM_FONT));
    GetTextMetricsW(MetricsDC(), &entry->Metrics);
    FFonts.push_back(std::move(entry));
    return *FFonts.back();
}

std::wstring TGdiSurface::GlyphText(const TFontEntry& entry, std::string_view text) {
    std::wstring wide = ToWide(text);
    if (entry.Metrics.tmCharSet == SYMBOL_CHARSET) std::replace(wide.begin(), wide.end(), kBullet, kSymbolBullet);
    return wide;
}

int TGdiSurface::WidthOf(const TFontEntry& entry, std::wstring_view text) const {
    if (text.empty()) return 0;
    const TSelection selected(MetricsDC(), entry.Font.Get());
    if (HasTab(text)) {
        // Tab stops every eight average characters, as the system draws them.
        return LOWORD(GetTabbedTextExtentW(MetricsDC(), text.data(), ClampedLength(text.size()), 0, nullptr));
    }
    SIZE size{};
    GetTextExtentPoint32W(MetricsDC(), text.data(), ClampedLength(text.size()), &size);
    return static_cast<int>(size.cx);
}

TSize TGdiSurface::MeasureText(const TFontSpec& font, std::string_view text) {
    const TFontEntry& f = Font(font);
    const int height = static_cast<int>(f.Metrics.tmHeight + f.Metrics.tmExternalLeading);
    return {WidthOf(f, GlyphText(f, text)), height};
}

void TGdiSurface::DrawText(const TFontSpec& font, TPoint at, std::string_view text, TColor color,
                           const std::vector<std::pair<std::size_t, std::size_t>>& underlined) {
    if (!FDC || text.empty()) return;
    const TFontEntry& f = Font(font);
    const std::wstring wide = GlyphText(f, text);
    const COLORREF ref = ToColorRef(color);
    {
        const TSelection selected(FDC, f.Font.Get());
        const COLORREF oldColor = SetTextColor(FDC, ref);
        const int oldMode = SetBkMode(FDC, TRANSPARENT);
        const UINT oldAlign = SetTextAlign(FDC, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        // With an escapement the font itself turns the text about the
        // reference point, the cell's top-left corner.
        if (HasTab(wide)) TabbedTextOutW(FDC, at.X, at.Y, wide.data(), ClampedLength(wide.size()), 0, nullptr, at.X);
        else ExtTextOutW(FDC, at.X, at.Y, 0, nullptr, wide.data(), static_cast<UINT>(ClampedLength(wide.size())), nullptr);
        SetTextAlign(FDC, oldAlign);
        SetBkMode(FDC, oldMode);
        SetTextColor(FDC, oldColor);
    }
    // The prefix mark's underline under single characters, along the
    // (possibly turned) baseline.
    if (underlined.empty()) return;
    const double angle = font.Orientation * std::numbers::pi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    const int dy = static_cast<int>(f.Metrics.tmAscent) + 1;
    auto place = [&](int dx) {
        return TPoint{at.X + static_cast<int>(std::lround(dx * c + dy * s)),
                      at.Y + static_cast<int>(std::lround(-dx * s + dy * c))};
    };
    for (const auto& [first, last] : underlined) {
        if (last > text.size() || first >= last) continue;
        const int x0 = WidthOf(f, GlyphText(f, text.substr(0, first)));
        const int x1 = WidthOf(f, GlyphText(f, text.substr(0, last)));
        DrawLine(place(x0), place(std::max(x0, x1 - 1)), color, 1);
    }
}

void TGdiSurface::FillRect(const TRect& rect, TColor color) {
    if (!FDC || rect.Empty()) return;
    const TBrushHandle brush(CreateSolidBrush(ToColorRef(color)));
    if (!brush) return;
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FillRect(FDC, &r, brush.Get());
}

void TGdiSurface::DrawLine(TPoint from, TPoint to, TColor color, int width) {
    if (!FDC) return;
    const COLORREF ref = ToColorRef(color);
    TPenHandle pen;
    if (width <= 1) {
        pen.Reset(CreatePen(PS_SOLID, 1, ref));
    } else {
        // Square ends reach over both end points, as a one-pixel line does.
        LOGBRUSH brush{BS_SOLID, ref, 0};
        pen.Reset(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE | PS_JOIN_MITER,
                               static_cast<DWORD>(width), &brush, 0, nullptr));
    }
    if (!pen) return;
    const TSelection selected(FDC, pen.Get());
    MoveToEx(FDC, from.X, from.Y, nullptr);
    LineTo(FDC, to.X, to.Y);
    // LineTo leaves out the last pixel of a cosmetic line.
    if (width <= 1) SetPixelV(FDC, to.X, to.Y, ref);
}

void TGdiSurface::FillGradient(const TRect& rect, TColor from, TColor to, int steps) {
    if (!FDC) return;
    // Stepped bands of solid colour, so that the steps are those the
    // engine asks for on every device (GradientFill would blend smoothly).
    auto plain = [](TColor c) { return static_cast<TColor>(ToColorRef(c)); };
    for (const auto& [band, color] : GradientBands(rect, plain(from), plain(to), steps)) FillRect(band, color);
}

std::optional<TImageInfo> TGdiSurface::ImageInfo(const TImageRef& image) {
    switch (image.Kind) {
        case TImageKind::ikList:
            if (FSources.Images && FSources.Images->At(image.Index))
                return TImageInfo{{FSources.Images->Width(), FSources.Images->Height()}, 1};
            return std::nullopt;
        case TImageKind::ikSmallFileIcon:
        case TImageKind::ikLargeFileIcon: {
            const bool small = image.Kind == TImageKind::ikSmallFileIcon;
            if (!FileTypeIcon(image.Name, small)) return std::nullopt;
            const int size = small ? kSmallIconSize : kLargeIconSize;
            return TImageInfo{{size, size}, 1};
        }
        case TImageKind::ikAddress: {
            const TPicture* p = FSources.Cache ? FSources.Cache->Find(image.Name) : nullptr;
            if (!p) {
                if (!FSources.Cache || !FSources.Cache->Contains(image.Name)) FMissing.insert(image.Name);
                return std::nullopt;
            }
            return TImageInfo{{p->Image.Width, p->Image.Height}, p->Frames};
        }
        case TImageKind::ikStore: {
            const TPicture* p = FSources.Store ? FSources.Store->Find(image.Name) : nullptr;
            if (!p) return std::nullopt;
            return TImageInfo{{p->Image.Width, p->Image.Height}, p->Frames};
        }
    }
    return std::nullopt;
}

void TGdiSurface::DrawImage(const TImageRef& image, const TRect& dest) {
    if (!FDC || dest.Empty()) return;
    switch (image.Kind) {
        case TImageKind::ikList:
            if (FSources.Images && FSources.Images->At(image.Index))
                DrawRGBImage(FDC, *FSources.Images->At(image.Index), dest);
            return;
        case TImageKind::ikSmallFileIcon:
        case TImageKind::ikLargeFileIcon: {
            const TIconHandle icon = FileTypeIcon(image.Name, image.Kind == TImageKind::ikSmallFileIcon);
            if (icon)
                DrawIconEx(FDC, dest.Left, dest.Top, icon.get(), dest.Width(), dest.Height(), 0, nullptr, DI_NORMAL);
            return;
        }
        case TImageKind::ikAddress:
        case TImageKind::ikStore: {
            const TPicture* p = nullptr;
            if (image.Kind == TImageKind::ikAddress && FSources.Cache) p = FSources.Cache->Find(image.Name);
            if (image.Kind == TImageKind::ikStore && FSources.Store) p = FSources.Store->Find(image.Name);
            if (p) DrawRGBImage(FDC, p->Image, dest);
            return;
        }
    }
}

void TGdiSurface::SetClip(const TRect& rect) {
    if (!FDC) return;
    // SaveDC keeps the clipping region as it was; ResetClip goes back to it.
    if (!SaveDC(FDC)) return;
    IntersectClipRect(FDC, rect.Left, rect.Top, rect.Right, rect.Bottom);
    ++FClipDepth;
}

void TGdiSurface::ResetClip() {
    if (!FDC || FClipDepth == 0) return;
    RestoreDC(FDC, -1);
    --FClipDepth;
}

int TGdiSurface::PixelsPerInch() const { return FPixelsPerInch; }

}  // namespace qm
