// PNG encoding with libpng: truecolour RGB, 8 bits per sample, the Sub
// filter on every row, zlib level 7, IDAT chunks of at most 65535 bytes and
// no chunks besides IHDR, IDAT and IEND.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "URGBImage.h"

namespace qm {

// Fills the width x 3 bytes of row y (0..height-1, asked for in order) and
// returns true; or, for y > 0, leaves `row` as it is (it still holds row
// y - 1) and returns false to say that row y repeats row y - 1.
using TPNGRowSource = std::function<bool(int y, std::span<std::uint8_t> row)>;

// The PNG file bytes of a width x height image whose rows come from `rows`.
// Preconditions: 1 <= width, height <= 1000000. Raises EQuillmarkError with
// libpng's message when encoding fails.
std::string WritePNGRGB(int width, int height, const TPNGRowSource& rows);
std::string WritePNGRGB(const TRGBImage& image);

// Settings shared with anything that must reproduce the image data stream.
inline constexpr int kPNGCompressionLevel = 7;
inline constexpr int kPNGMaxIDATLength = 65535;

}  // namespace qm
