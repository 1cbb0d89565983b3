// The Windows icon file format (ICO) that the resource compiler embeds, for
// the program's icon (UProgramIcon.h).
#pragma once

#include <string>
#include <vector>

#include "URGBImage.h"

namespace qm {

// Edge lengths of the Windows icon's images, in pixels: the small icon's
// and the large icon's at 100 % to 200 % and the shell's views up to its
// largest (below MinimumIconSize of the program's name the code is drawn
// smaller than it scans, see ProgramIconImage).
inline const std::vector<int> kIconSizes{16, 20, 24, 32, 48, 64, 128, 256};

// Images this wide and wider go into the file as PNG (Windows reads PNG
// entries since Vista and expects its 256-pixel image as one).
inline constexpr int kPNGIconSize = 256;

// An ICO file holding `images` (each square, 1..256 pixels) without
// transparency: an ICONDIR, one ICONDIRENTRY per image, then each image
// below kPNGIconSize as a 32-bit DIB (BITMAPINFOHEADER with the height
// doubled for the AND mask, bottom-up BGRA rows, an all-zero AND mask), each
// other one as an opaque 8-bit RGBA PNG (32bpp ARGB, as Windows asks of PNG
// entries).
std::string IconFile(const std::vector<TRGBImage>& images);

}  // namespace qm
