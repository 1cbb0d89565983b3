// PNG decoding with libpng, for PNG bytes from anywhere: every colour type
// and bit depth is converted to 8-bit RGB (alpha dropped, 16-bit samples
// cut to their high byte).
#pragma once

#include <string_view>

#include "URGBImage.h"

namespace qm {

// Largest image ReadPNGRGB accepts, in pixels (width x height), so that a
// small hostile file cannot demand gigabytes.
inline constexpr long long kPNGMaxPixels = 64LL * 1024 * 1024;

// Decodes PNG file bytes. Raises EQuillmarkError("Ungültiges Stream-Format")
// for anything that is not a complete, valid PNG within kPNGMaxPixels, and
// before allocating the image for a file too short to hold the pixels its
// header announces.
TRGBImage ReadPNGRGB(std::string_view bytes);

}  // namespace qm
