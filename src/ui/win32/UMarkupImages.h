// Picture sources of the caption label on Windows: the image list
// ("IDX:n"), the named picture store and the cache of pictures loaded from
// addresses. Pictures are plain RGB rasters; files are read as PNG.
#pragma once

// First: it reads our colour headers around <windows.h>'s macros.
#include "UWinApi.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UPictureStore.h"
#include "URGBImage.h"

namespace qm {

// A picture and its frame count (PNG files have one frame).
struct TPicture {
    TRGBImage Image;
    int Frames = 1;
};

// Reads a PNG file (UTF-8 path); nothing when it cannot be read or decoded.
std::optional<TPicture> LoadPictureFile(const std::string& path);

// The local path of a "file://" address ("file:///C:/x.png" -> "C:\x.png",
// "file://server/share/x.png" -> "\\server\share\x.png", %XX decoded);
// nothing for any other scheme.
std::optional<std::string> LocalPathOfAddress(std::string_view address);

// Loads the picture of an address holding "://". Only local "file://"
// addresses are supported: the program has no network, so other schemes
// give nothing.
std::optional<TPicture> LoadPictureFromAddress(std::string_view address);

// Images of one size (Width x Height pixels, both >= 1), addressed by index
// from 0. OnChanged is called whenever the contents change.
class TImageList {
public:
    explicit TImageList(int width = 16, int height = 16);

    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    int Count() const noexcept { return static_cast<int>(FImages.size()); }

    // Adds a copy of `image`, scaled (nearest neighbour) to the list's size
    // when it differs. An empty image is added as a black one.
    void Add(const TRGBImage& image);
    void Clear();
    // The image at `index`, or nullptr when index is outside 0..Count()-1.
    const TRGBImage* At(int index) const noexcept;

    std::function<void()> OnChanged;

private:
    int FWidth;
    int FHeight;
    std::vector<TRGBImage> FImages;
};

using TPictureStore = TPictureStoreOf<TPicture>;
using TPictureCache = TPictureCacheOf<TPicture>;

}  // namespace qm
