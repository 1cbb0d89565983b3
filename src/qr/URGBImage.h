// A plain truecolour raster, 8 bits per sample, rows top to bottom.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "UColor.h"

namespace qm {


struct TRGBImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;  // Width x Height x 3 bytes, R G B

    TRGBImage() = default;
    // Preconditions: width, height >= 0. All pixels start black.
    TRGBImage(int width, int height)
        : Width(width), Height(height), Pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {}

    // Preconditions: 0 <= y < Height.
    std::span<std::uint8_t> Row(int y) noexcept {
        return {Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) * 3,
                static_cast<std::size_t>(Width) * 3};
    }
    std::span<const std::uint8_t> Row(int y) const noexcept {
        return {Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) * 3,
                static_cast<std::size_t>(Width) * 3};
    }
    // Preconditions: 0 <= x < Width, 0 <= y < Height.
    TColor Pixel(int x, int y) const noexcept {
        const std::uint8_t* p = &Row(y)[static_cast<std::size_t>(x) * 3];
        return TColor{p[0]} | TColor{p[1]} << 8 | TColor{p[2]} << 16;
    }
    void SetPixel(int x, int y, TColor color) noexcept {
        std::uint8_t* p = &Row(y)[static_cast<std::size_t>(x) * 3];
        p[0] = static_cast<std::uint8_t>(color);
        p[1] = static_cast<std::uint8_t>(color >> 8);
        p[2] = static_cast<std::uint8_t>(color >> 16);
    }
    friend bool operator==(const TRGBImage&, const TRGBImage&) = default;
};

}  // namespace qm
