#include "UQRAsPNG.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UPNGWriter.h"

namespace qm {

namespace {
constexpr float kInchPerMM = 0.03937f;
constexpr int kMinSizeMM = 10;
constexpr int kMaxSizeMM = 200;
constexpr int kFallbackSizeMM = 49;

// Nearest-neighbour source index of target index t when `source` pixels are
// stretched to `target`: the source pixel under the target pixel's centre.
int SourceIndex(int t, int source, int target) noexcept {
    return static_cast<int>((2LL * t + 1) * source / (2LL * target));
}
}  // namespace

int QRPixelSize(int sizeMM, int pixelsPerInch) noexcept {
    // Halves to even needs the default rounding mode, which nobody changes here.
    const long double mm = std::nearbyintl(static_cast<long double>(sizeMM) * 1000) / 1000;
    return static_cast<int>(std::nearbyintl(mm * static_cast<long double>(kInchPerMM) * pixelsPerInch));
}

int MulDivRound(int a, int b, int c) noexcept {
    const long long product = static_cast<long long>(a) * b;
    const long long magnitude = (std::llabs(product) + std::llabs(static_cast<long long>(c)) / 2) /
                                std::llabs(static_cast<long long>(c));
    return static_cast<int>((product < 0) != (c < 0) ? -magnitude : magnitude);
}

void TQRImageScaled::SetSizeMM(int sizeMM) noexcept {
    FSizeMM = sizeMM >= kMinSizeMM && sizeMM <= kMaxSizeMM ? sizeMM : kFallbackSizeMM;
}

void TQRImageScaled::SetPixelsPerInch(int pixelsPerInch) {
    if (pixelsPerInch < kMinPixelsPerInch || pixelsPerInch > kMaxPixelsPerInch)
        throw EQuillmarkError("Ungültige Bildschirmauflösung (" + std::to_string(pixelsPerInch) + " dpi)");
    FPixelsPerInch = pixelsPerInch;
}

int TQRImageScaled::PixelSize() const noexcept { return QRPixelSize(FSizeMM, FPixelsPerInch); }

void TQRImageScaled::DrawMatrix(const TQRMatrix& matrix) {
    if (MarginIndex() != 0) {
        const int n = matrix.Size();
        FSizeMM = MulDivRound(n + 2 * QuietZone(), FSizeMM, n);
    }
    TQRImage::DrawMatrix(matrix);
}

namespace {

// Produces the rows of the stretched image one at a time, so that no
// S x S bitmap is needed for writing.
class TStretchedRows {
public:
    TStretchedRows(const TRGBImage& source, int size) : FSource(source), FSize(size), FColumns(size) {
        for (int x = 0; x < size; ++x) FColumns[static_cast<std::size_t>(x)] = SourceIndex(x, source.Width, size);
    }
    void Fill(int y, std::span<std::uint8_t> row) const {
        const auto source = FSource.Row(SourceIndex(y, FSource.Height, FSize));
        std::uint8_t* out = row.data();
        for (const int x : FColumns) {
            std::memcpy(out, &source[static_cast<std::size_t>(x) * 3], 3);
            out += 3;
        }
    }

private:
    const TRGBImage& FSource;
    int FSize;
    std::vector<int> FColumns;
};

}  // namespace

TRGBImage TQRImageScaled::ScaledBitmap() const {
    const int size = PixelSize();
    TRGBImage bitmap(size, size);
    const TStretchedRows rows(Image(), size);
    for (int y = 0; y < size; ++y) rows.Fill(y, bitmap.Row(y));
    return bitmap;
}

std::string TQRImageScaled::SaveScaledPNGBytes() const {
    if (OnBitmap) {
        TRGBImage bitmap = ScaledBitmap();
        OnBitmap(bitmap);
        return WritePNGRGB(bitmap);
    }
    const int size = PixelSize();
    const TStretchedRows rows(Image(), size);
    // Consecutive target rows mostly show the same module row: the writer
    // then reuses the row it already has.
    int previousRow = -1;
    return WritePNGRGB(size, size, [&](int y, std::span<std::uint8_t> row) {
        const int sourceRow = SourceIndex(y, Image().Height, size);
        if (sourceRow == previousRow) return false;
        rows.Fill(y, row);
        previousRow = sourceRow;
        return true;
    });
}

void TQRImageScaled::SaveToPNGFile(const std::string& fileName) { WriteFileAtomic(fileName, SaveScaledPNGBytes()); }

int WriteQRCodePNGOfClass(const TQRImageScaledClass& imageClass, int size, std::string_view text,
                          const std::string& fileName, int ecLevel, bool convertToUtf8, int marginIndex,
                          int pixelsPerInch) {
    const std::unique_ptr<TQRImageScaled> image = imageClass();
    image->SetSizeMM(size);
    image->SetMarginIndex(marginIndex);
    image->SetPixelsPerInch(pixelsPerInch);
    image->EncodeText(text, ecLevel, convertToUtf8);
    image->SaveToPNGFile(fileName);
    return image->SizeMM();
}

int WriteQRCodePNG(int size, std::string_view text, const std::string& fileName, int ecLevel, bool convertToUtf8,
                   int marginIndex, int pixelsPerInch) {
    return WriteQRCodePNGOfClass([] { return std::make_unique<TQRImageScaled>(); }, size, text, fileName, ecLevel,
                                 convertToUtf8, marginIndex, pixelsPerInch);
}

}  // namespace qm
