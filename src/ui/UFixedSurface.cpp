#include "UFixedSurface.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "UTextEncoding.h"

namespace qm {

namespace {

std::string RectText(const TRect& r) {
    return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom) + ")";
}

std::string ColorText(TColor c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", c);
    return buf;
}

std::string FontText(const TFontSpec& f) {
    std::string s = f.Name + " " + std::to_string(f.Size);
    if (f.Bold) s += " bold";
    if (f.Italic) s += " italic";
    if (f.Underline) s += " underline";
    if (f.StrikeOut) s += " strikeout";
    if (f.Orientation) s += " rot" + std::to_string(f.Orientation);
    return s;
}

}  // namespace

int TFixedSurface::CharWidth(const TFontSpec& font) noexcept {
    return std::max(1, font.Size - 2 + (font.Bold ? 1 : 0));
}

int TFixedSurface::LineHeight(const TFontSpec& font) noexcept { return font.Size + 5; }

TSize TFixedSurface::MeasureText(const TFontSpec& font, std::string_view text) {
    ++Measures;
    long long chars = 0;
    for (std::size_t i = 0; i < text.size();) {
        chars += text[i] == '\t' ? 4 : 1;
        i += DecodeUtf8Char(text.substr(i)).Length;
    }
    long long width = std::min<long long>(chars * CharWidth(font), 1 << 30);
    return {static_cast<int>(width), LineHeight(font)};
}

void TFixedSurface::DrawText(const TFontSpec& font, TPoint at, std::string_view text, TColor color,
                             const std::vector<std::pair<std::size_t, std::size_t>>& underlined) {
    if (Record) Texts.push_back({font, at, std::string(text), color, underlined});
}

void TFixedSurface::FillRect(const TRect& rect, TColor color) {
    if (Record) Fills.emplace_back(rect, color);
}

void TFixedSurface::DrawLine(TPoint from, TPoint to, TColor color, int width) {
    if (Record) Lines.push_back({from, to, color, width});
}

void TFixedSurface::FillGradient(const TRect& rect, TColor from, TColor to, int steps) {
    if (Record) Gradients.push_back({rect, from, to, steps});
}

std::optional<TImageInfo> TFixedSurface::ImageInfo(const TImageRef& image) {
    for (const auto& [ref, info] : Pictures)
        if (ref == image) return info;
    return std::nullopt;
}

void TFixedSurface::DrawImage(const TImageRef& image, const TRect& dest) {
    if (Record) Images.push_back({image, dest});
}

void TFixedSurface::SetClip(const TRect& rect) {
    if (Record) Clips.push_back(rect);
}

void TFixedSurface::ResetClip() {
    if (Record) Clips.push_back({});
}

void TFixedSurface::Clear() {
    Texts.clear();
    Fills.clear();
    Lines.clear();
    Gradients.clear();
    Images.clear();
    Clips.clear();
    Measures = 0;
}

std::string TFixedSurface::Log() const {
    std::ostringstream out;
    for (const auto& t : Texts) {
        out << "text (" << t.At.X << "," << t.At.Y << ") " << ColorText(t.Color) << " [" << FontText(t.Font)
            << "] \"" << t.Text << "\"";
        for (const auto& [a, b] : t.Underlined) out << " u" << a << "-" << b;
        out << "\n";
    }
    for (const auto& [r, c] : Fills) out << "fill " << RectText(r) << " " << ColorText(c) << "\n";
    for (const auto& l : Lines)
        out << "line (" << l.From.X << "," << l.From.Y << ")-(" << l.To.X << "," << l.To.Y << ") "
            << ColorText(l.Color) << " w" << l.Width << "\n";
    for (const auto& g : Gradients)
        out << "gradient " << RectText(g.Rect) << " " << ColorText(g.From) << "->" << ColorText(g.To) << " steps "
            << g.Steps << "\n";
    for (const auto& i : Images)
        out << "image " << static_cast<int>(i.Image.Kind) << ":" << i.Image.Index << ":" << i.Image.Name << " "
            << RectText(i.Dest) << "\n";
    return out.str();
}

}  // namespace qm
