// The Windows icon file format (ICO) that the resource compiler embeds, for
// the program's icon (UProgramIcon.h).
#pragma once

#include <string>
#include <vector>

#include "URGBImage.h"

namespace qm {

// Edge lengths of the Windows icon's images, in pixels (each at least
// MinimumIconSize of the program's name).
inline const std::vector<int> kIconSizes{32, 48, 64, 128};

// An ICO file holding `images` (each square, 1..256 pixels) as 32-bit DIBs
// without transparency: an ICONDIR, one ICONDIRENTRY per image, then each
// image as BITMAPINFOHEADER (height doubled for the AND mask), bottom-up
// BGRA rows and an all-zero AND mask.
std::string IconFile(const std::vector<TRGBImage>& images);

}  // namespace qm
