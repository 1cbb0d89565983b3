// Colour values shared by every layer: 32 bits, 0x00BBGGRR for plain colours
// (red in the low byte), 0x80000000 plus the index for the desktop's system
// colours, and two markers for "no colour" and "the default colour".
#pragma once

#include <cstdint>

namespace qm {

using TColor = std::uint32_t;

inline constexpr TColor kSystemColorFlag = 0x80000000;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// The sixteen standard colours.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor SystemColor(int index) noexcept { return kSystemColorFlag | static_cast<TColor>(index); }
constexpr bool IsSystemColor(TColor c) noexcept { return (c & kSystemColorFlag) != 0; }
constexpr int RedOf(TColor c) noexcept { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(TColor c) noexcept { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(TColor c) noexcept { return static_cast<int>((c >> 16) & 0xFF); }
constexpr TColor ColorRGB(int r, int g, int b) noexcept {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

}  // namespace qm
