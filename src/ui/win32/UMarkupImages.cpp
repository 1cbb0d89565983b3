#include "UMarkupImages.h"

#include <algorithm>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UPNGReader.h"
#include "UStringUtil.h"

namespace qm {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Nearest-neighbour scaling to width x height (both >= 1).
TRGBImage Scaled(const TRGBImage& image, int width, int height) {
    TRGBImage out(width, height);
    if (image.Width <= 0 || image.Height <= 0) return out;
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(static_cast<long long>(y) * image.Height / height);
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(static_cast<long long>(x) * image.Width / width);
            out.SetPixel(x, y, image.Pixel(sx, sy));
        }
    }
    return out;
}

}  // namespace

std::optional<TPicture> LoadPictureFile(const std::string& path) {
    try {
        return TPicture{ReadPNGRGB(ReadFileToString(path)), 1};
    } catch (const EQuillmarkError&) {
        return std::nullopt;
    }
}

std::optional<std::string> LocalPathOfAddress(std::string_view address) {
    constexpr std::string_view kScheme = "file://";
    if (address.size() < kScheme.size() || !SameTextIgnoreCase(address.substr(0, kScheme.size()), kScheme))
        return std::nullopt;
    std::string_view rest = address.substr(kScheme.size());
    std::string decoded;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
            i += 2;
        } else {
            decoded += rest[i] == '/' ? '\\' : rest[i];
        }
    }
    // "file:///C:/x" names a drive path; "file://host/share/x" a UNC path.
    if (decoded.size() >= 3 && decoded[0] == '\\' && decoded[2] == ':') return decoded.substr(1);
    if (!decoded.empty() && decoded[0] != '\\') return "\\\\" + decoded;
    return decoded;
}

std::optional<TPicture> LoadPictureFromAddress(std::string_view address) {
    const std::optional<std::string> path = LocalPathOfAddress(address);
    if (!path) return std::nullopt;
    return LoadPictureFile(*path);
}

TImageList::TImageList(int width, int height) : FWidth(std::max(1, width)), FHeight(std::max(1, height)) {}

void TImageList::Add(const TRGBImage& image) {
    if (image.Width == FWidth && image.Height == FHeight) FImages.push_back(image);
    else FImages.push_back(Scaled(image, FWidth, FHeight));
    if (OnChanged) OnChanged();
}

void TImageList::Clear() {
    FImages.clear();
    if (OnChanged) OnChanged();
}

const TRGBImage* TImageList::At(int index) const noexcept {
    if (index < 0 || index >= Count()) return nullptr;
    return &FImages[static_cast<std::size_t>(index)];
}

}  // namespace qm
