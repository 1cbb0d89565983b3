// The program's icon: the QR code of the program's name, as the dialog
// shows it as its window icon, drawn for the icon sizes of a desktop theme.
#pragma once

#include <string_view>

#include "URGBImage.h"

namespace qm {

// Light modules around the symbol, as in the window icon.
inline constexpr int kIconBorderModules = 2;

// The smallest icon edge that holds the symbol of `text` with its border at
// one pixel per module.
int MinimumIconSize(std::string_view text);

// A `size` x `size` picture of the QR code of `text` (level L, byte mode),
// framed by kIconBorderModules light modules. Every module is the same whole
// number of pixels, the largest that fits, so that the code stays sharp; the
// pixels left over are light and split evenly around it (the odd one
// right and below). Raises EQuillmarkError for a size below
// MinimumIconSize(text) or above 4096.
TRGBImage ProgramIconImage(std::string_view text, int size);

}  // namespace qm
