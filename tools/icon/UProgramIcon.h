// The program's icon: the QR code of the program's name, as the dialog
// shows it as its window icon, drawn for the icon sizes of a desktop theme.
#pragma once

#include <string>
#include <string_view>

#include "URGBImage.h"

namespace qm {

// Light modules around the symbol, as in the window icon.
inline constexpr int kIconBorderModules = 2;

// The smallest icon edge that holds the symbol of `text` with its border at
// one pixel per module.
int MinimumIconSize(std::string_view text);

// The smallest icon edge ProgramIconImage draws: the theme's smallest size.
inline constexpr int kSmallestIconSize = 16;

// A `size` x `size` picture of the QR code of `text` (level L, byte mode),
// framed by kIconBorderModules light modules. Every module is the same whole
// number of pixels, the largest that fits, so that the code stays sharp; the
// pixels left over are light and split evenly around it (the odd one
// right and below). Below MinimumIconSize(text) the border narrows to the
// pixels left over (one pixel per module), and below the symbol's own size
// each pixel is the grey of the share of dark modules it covers (a picture
// of the code, too small to scan). Raises EQuillmarkError for a size below
// kSmallestIconSize or above 4096.
TRGBImage ProgramIconImage(std::string_view text, int size);

// The icon as SVG (the hicolor theme's scalable size): one unit per module,
// the symbol framed by kIconBorderModules light modules on a white square,
// each horizontal run of dark modules a black rect, drawn with crisp edges.
std::string ProgramIconSvg(std::string_view text);

}  // namespace qm
