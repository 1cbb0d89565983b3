// Picture sources of the caption label: the image list ("IDX:n"), the named
// picture store and the cache of pictures loaded from addresses.
#pragma once

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UPictureStore.h"

namespace qm {

// A picture and its frame count (animated pictures have more than one).
struct TPicture {
    QImage Image;
    int Frames = 1;
};

// Reads a picture file; nothing when it cannot be read.
std::optional<TPicture> LoadPictureFile(const QString& path);

// Loads the picture of an address holding "://". Only local "file://"
// addresses are supported: the program has no network, so other schemes
// give nothing.
std::optional<TPicture> LoadPictureFromAddress(std::string_view address);

// Images of one size (Width x Height pixels, both >= 1), addressed by index
// from 0. Changed is emitted whenever the contents change.
class TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(int width = 16, int height = 16, QObject* parent = nullptr);

    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    int Count() const noexcept { return static_cast<int>(FImages.size()); }

    // Adds a copy of `image`, scaled to the list's size when it differs.
    void Add(const QPixmap& image);
    void Clear();
    // The image at `index`, or nullptr when index is outside 0..Count()-1.
    const QPixmap* At(int index) const noexcept;

signals:
    void Changed();

private:
    int FWidth;
    int FHeight;
    std::vector<QPixmap> FImages;
};

using TPictureStore = TPictureStoreOf<TPicture>;
using TPictureCache = TPictureCacheOf<TPicture>;

}  // namespace qm
