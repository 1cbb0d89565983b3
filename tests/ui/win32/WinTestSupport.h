// Helpers of the Win32 user-interface tests: a white 32-bit bitmap to draw
// on and read back, a GDI surface that also notes the texts it draws, and
// the dialog's caption text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "UGdiSurface.h"

namespace qm::test {

inline const std::string kGroesser = "Gr\xC3\xB6\xC3\x9F" "er";

// The two lines the dialog gives its caption label for "Anna Berg".
inline std::string CaptionText(const std::string& names = "Anna Berg") {
    return "</b>QRCode:<b> " + names + " | <A href=\"x\">" + kGroesser + "</A>";
}

// A memory DC with a white top-down 32-bit DIB selected.
class TDibCanvas {
public:
    TDibCanvas(int width, int height) : FWidth(width), FHeight(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        FBitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &FBits, nullptr, 0));
        FOld = SelectObject(FDC.Get(), FBitmap.Get());
        const RECT all{0, 0, width, height};
        ::FillRect(FDC.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    TDibCanvas(const TDibCanvas&) = delete;
    TDibCanvas& operator=(const TDibCanvas&) = delete;
    ~TDibCanvas() { SelectObject(FDC.Get(), FOld); }

    HDC DC() const noexcept { return FDC.Get(); }
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    // The pixel as a COLORREF (0x00BBGGRR).
    COLORREF Pixel(int x, int y) const {
        GdiFlush();
        const auto* p = static_cast<const std::uint8_t*>(FBits) + (static_cast<std::size_t>(y) * FWidth + x) * 4;
        return RGB(p[2], p[1], p[0]);
    }

private:
    TMemoryDC FDC;
    TBitmapHandle FBitmap;
    HGDIOBJ FOld = nullptr;
    void* FBits = nullptr;
    int FWidth, FHeight;
};

struct TDrawnText {
    TFontSpec Font;
    TPoint At;
    std::string Text;
    TColor Color;
};

// The GDI surface, also noting every text it draws.
class TNotingSurface : public TGdiSurface {
public:
    TNotingSurface(HDC dc, TImageSources sources, std::vector<TDrawnText>& log)
        : TGdiSurface(dc, sources), FLog(log) {}
    void DrawText(const TFontSpec& font, TPoint at, std::string_view text, TColor color,
                  const std::vector<std::pair<std::size_t, std::size_t>>& underlined) override {
        FLog.push_back({font, at, std::string(text), color});
        TGdiSurface::DrawText(font, at, text, color, underlined);
    }

private:
    std::vector<TDrawnText>& FLog;
};

inline const TDrawnText* FindText(const std::vector<TDrawnText>& log, std::string_view text) {
    for (const auto& d : log)
        if (d.Text == text) return &d;
    return nullptr;
}

}  // namespace qm::test
