// The independent decoder of the QR tests (zxing-cpp, Linux only).
#include "QRTestSupport.h"

#include <ZXing/ReadBarcode.h>

namespace qm::test {

namespace {
TDecoded Decode(const std::vector<std::uint8_t>& lum, int width, int height, bool pure) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setIsPure(pure);
    hints.setTryRotate(false);
    hints.setTryDownscale(false);
    const ZXing::Result result =
        ZXing::ReadBarcode(ZXing::ImageView(lum.data(), width, height, ZXing::ImageFormat::Lum), hints);
    TDecoded decoded;
    decoded.Valid = result.isValid();
    decoded.Bytes.assign(result.bytes().begin(), result.bytes().end());
    decoded.ECLevel = result.ecLevel();
    return decoded;
}
}  // namespace

TDecoded DecodeImage(const TRGBImage& image, bool pure, int border) {
    const int width = image.Width + 2 * border;
    const int height = image.Height + 2 * border;
    std::vector<std::uint8_t> lum(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 255);
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x) {
            const TColor c = image.Pixel(x, y);
            const int sum = static_cast<int>((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF));
            lum[static_cast<std::size_t>(y + border) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x + border)] = static_cast<std::uint8_t>(sum / 3);
        }
    return Decode(lum, width, height, pure);
}

TDecoded DecodeMatrix(const TQRMatrix& matrix, int scale) {
    const int size = (matrix.Size() + 8) * scale;
    std::vector<std::uint8_t> lum(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), 255);
    for (int y = 0; y < matrix.Size(); ++y)
        for (int x = 0; x < matrix.Size(); ++x) {
            if (!matrix.Dark(x, y)) continue;
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx)
                    lum[static_cast<std::size_t>((y + 4) * scale + dy) * static_cast<std::size_t>(size) +
                        static_cast<std::size_t>((x + 4) * scale + dx)] = 0;
        }
    return Decode(lum, size, size, true);
}

}  // namespace qm::test
