// The program's icon: the QR code of the program's name, dark modules on a
// light two-module border, in the Windows icon file format (ICO) that the
// resource compiler embeds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "URGBImage.h"

namespace qm {

// Edge lengths of the icon's images, in pixels.
inline const std::vector<int> kIconSizes{32, 48, 64, 128};

// The QR code of `text` (level L) with a light border of two modules, one
// pixel per module, scaled by the largest whole factor that fits into
// `size` x `size` (at least 1) and centred on a white square of that size.
// Preconditions: size >= 1; text fits into a QR code.
TRGBImage QRIconImage(std::string_view text, int size);

// An ICO file holding `images` (each square, 1..256 pixels) as 32-bit DIBs
// without transparency: an ICONDIR, one ICONDIRENTRY per image, then each
// image as BITMAPINFOHEADER (height doubled for the AND mask), bottom-up
// BGRA rows and an all-zero AND mask.
std::string IconFile(const std::vector<TRGBImage>& images);

}  // namespace qm
