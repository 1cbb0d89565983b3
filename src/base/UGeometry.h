// Points, sizes and rectangles in pixels, shared by the window placement and
// the caption's text engine.
#pragma once

namespace qm {

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// Half-open rectangle: a point (x, y) lies in it when Left <= x < Right and
// Top <= y < Bottom.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int Width() const noexcept { return Right - Left; }
    constexpr int Height() const noexcept { return Bottom - Top; }
    constexpr bool Empty() const noexcept { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(TPoint p) const noexcept {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};

}  // namespace qm
