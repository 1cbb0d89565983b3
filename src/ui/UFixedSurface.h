// A drawing surface with fixed, font-derived metrics that records what is
// drawn instead of drawing it. It makes the text engine's layout exact and
// reproducible without a display: tests check positions against it, and the
// fuzz target and benchmarks run the engine on it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "UHTMLSurface.h"

namespace qm {

class TFixedSurface : public THTMLSurface {
public:
    // Metrics: every character is Size - 2 pixels wide (+1 when bold), a tab
    // four characters; every line is Size + 5 pixels high.
    static int CharWidth(const TFontSpec& font) noexcept;
    static int LineHeight(const TFontSpec& font) noexcept;

    struct TTextCall {
        TFontSpec Font;
        TPoint At;
        std::string Text;
        TColor Color;
        std::vector<std::pair<std::size_t, std::size_t>> Underlined;
    };
    struct TLineCall {
        TPoint From, To;
        TColor Color;
        int Width;
    };
    struct TGradientCall {
        TRect Rect;
        TColor From, To;
        int Steps;
    };
    struct TImageCall {
        TImageRef Image;
        TRect Dest;
    };

    // Pictures the surface knows, by reference.
    std::vector<std::pair<TImageRef, TImageInfo>> Pictures;
    int Ppi = 96;
    bool Record = true;  // false: keep no calls (fuzzing, benchmarks)

    std::vector<TTextCall> Texts;
    std::vector<std::pair<TRect, TColor>> Fills;
    std::vector<TLineCall> Lines;
    std::vector<TGradientCall> Gradients;
    std::vector<TImageCall> Images;
    std::vector<TRect> Clips;  // every SetClip; ResetClip adds an empty rect
    long long Measures = 0;

    // Every recorded call as one line of text, in call order per kind
    // (texts, fills, lines, gradients, images), for whole-output comparisons.
    std::string Log() const;
    void Clear();

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
    int PixelsPerInch() const override { return Ppi; }
};

}  // namespace qm
