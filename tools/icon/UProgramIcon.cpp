#include "UProgramIcon.h"

#include "UErrors.h"
#include "UQREncoder.h"

namespace qm {

namespace {

constexpr int kMaxIconSize = 4096;

// Level L keeps the symbol small: the icon is a picture first.
constexpr int kIconLevel = 0;

}  // namespace

int MinimumIconSize(std::string_view text) {
    return EncodeQRBytes(text, kIconLevel).Matrix.Size() + 2 * kIconBorderModules;
}

TRGBImage ProgramIconImage(std::string_view text, int size) {
    const TQRSymbol symbol = EncodeQRBytes(text, kIconLevel);
    const int n = symbol.Matrix.Size();
    const int framed = n + 2 * kIconBorderModules;
    if (size < framed || size > kMaxIconSize) {
        throw EQuillmarkError("Ungültige Symbolgröße (" + std::to_string(size) + ")");
    }
    const int scale = size / framed;
    const int offset = (size - n * scale) / 2;

    TRGBImage image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int mx = x - offset;
            const int my = y - offset;
            const bool inside = mx >= 0 && my >= 0 && mx < n * scale && my < n * scale;
            image.SetPixel(x, y, inside && symbol.Matrix.Dark(mx / scale, my / scale) ? clBlack : clWhite);
        }
    }
    return image;
}

}  // namespace qm
