#include "UMarkupImages.h"

#include <QImageReader>
#include <QUrl>

#include <algorithm>


namespace qm {

std::optional<TPicture> LoadPictureFile(const QString& path) {
    QImageReader reader(path);
    TPicture picture;
    picture.Frames = std::max(1, reader.imageCount());
    if (!reader.read(&picture.Image) || picture.Image.isNull()) return std::nullopt;
    return picture;
}

std::optional<TPicture> LoadPictureFromAddress(std::string_view address) {
    QUrl url(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())));
    if (!url.isValid() || !url.isLocalFile()) return std::nullopt;
    return LoadPictureFile(url.toLocalFile());
}

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), FWidth(std::max(1, width)), FHeight(std::max(1, height)) {}

void TImageList::Add(const QPixmap& image) {
    if (image.width() == FWidth && image.height() == FHeight) FImages.push_back(image);
    else FImages.push_back(image.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    emit Changed();
}

void TImageList::Clear() {
    FImages.clear();
    emit Changed();
}

const QPixmap* TImageList::At(int index) const noexcept {
    if (index < 0 || index >= Count()) return nullptr;
    return &FImages[static_cast<std::size_t>(index)];
}

}  // namespace qm
