#include "UProgramIcon.h"

#include <algorithm>

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
    if (size < kSmallestIconSize || size > kMaxIconSize) {
        throw EQuillmarkError("Ungültige Symbolgröße (" + std::to_string(size) + ")");
    }
    TRGBImage image(size, size);
    if (size < n) {
        // Pixel (x, y) covers [x, x + 1) x framed / size modules of the
        // framed symbol; counted in units of 1 / size module.
        const auto dark = [&](int mx, int my) {
            mx -= kIconBorderModules;
            my -= kIconBorderModules;
            return mx >= 0 && my >= 0 && mx < n && my < n && symbol.Matrix.Dark(mx, my);
        };
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                long covered = 0;
                for (int v = y * framed; v < (y + 1) * framed; ++v)
                    for (int u = x * framed; u < (x + 1) * framed; ++u) covered += dark(u / size, v / size) ? 1 : 0;
                const long all = static_cast<long>(framed) * framed;
                const int grey = static_cast<int>(255 - (255 * covered + all / 2) / all);
                image.SetPixel(x, y, ColorRGB(grey, grey, grey));
            }
        }
        return image;
    }
    const int scale = std::max(1, size / framed);
    const int offset = (size - n * scale) / 2;
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

std::string ProgramIconSvg(std::string_view text) {
    const TQRSymbol symbol = EncodeQRBytes(text, kIconLevel);
    const int n = symbol.Matrix.Size();
    const std::string framed = std::to_string(n + 2 * kIconBorderModules);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + framed + "\" height=\"" + framed +
                      "\" viewBox=\"0 0 " + framed + " " + framed + "\" shape-rendering=\"crispEdges\">\n"
                      "<rect width=\"" + framed + "\" height=\"" + framed + "\" fill=\"#fff\"/>\n";
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n;) {
            if (!symbol.Matrix.Dark(x, y)) {
                ++x;
                continue;
            }
            int run = 1;
            while (x + run < n && symbol.Matrix.Dark(x + run, y)) ++run;
            svg += "<rect x=\"" + std::to_string(x + kIconBorderModules) + "\" y=\"" +
                   std::to_string(y + kIconBorderModules) + "\" width=\"" + std::to_string(run) +
                   "\" height=\"1\"/>\n";
            x += run;
        }
    }
    return svg + "</svg>\n";
}

}  // namespace qm
