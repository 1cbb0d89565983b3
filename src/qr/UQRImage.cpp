#include "UQRImage.h"

#include "UErrors.h"
#include "UFileUtil.h"
#include "UPNGReader.h"
#include "UPNGWriter.h"
#include "UQREncoder.h"

namespace qm {

void TInheritablePNG::MakeBlank(int colorType, int bitDepth, int width, int height) {
    if (colorType != kPNGColorTypeRGB || bitDepth != kPNGBitDepth8)
        throw EQuillmarkError("Ungültiges Stream-Format");
    FImage = TRGBImage(width, height);
}

void TInheritablePNG::SetPixel(int x, int y, TColor color) noexcept {
    if (x < 0 || y < 0 || x >= FImage.Width || y >= FImage.Height) return;
    FImage.SetPixel(x, y, color);
}

std::string TInheritablePNG::SaveToPNGBytes() const { return WritePNGRGB(FImage); }

void TInheritablePNG::SaveToPNGStream(std::ostream& stream) const {
    const std::string bytes = SaveToPNGBytes();
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TInheritablePNG::SaveToPNGFile(const std::string& fileName) { WriteFileAtomic(fileName, SaveToPNGBytes()); }

void TInheritablePNG::LoadFromPNGBytes(std::string_view bytes) { FImage = ReadPNGRGB(bytes); }

void TCustomBitImage::SetMarginIndex(int marginIndex) {
    if (marginIndex < 0 || marginIndex >= static_cast<int>(QuietZoneModules.size()))
        throw EQuillmarkError("Ungültiger Randindex (" + std::to_string(marginIndex) + ")");
    FMarginIndex = static_cast<std::uint8_t>(marginIndex);
}

int TCustomBitImage::QuietZone() const noexcept { return QuietZoneModules[FMarginIndex]; }

void TCustomBitImage::DrawMatrix(const TQRMatrix& matrix) {
    const int q = QuietZone();
    const int n = matrix.Size();
    MakeBlank(kPNGColorTypeRGB, kPNGBitDepth8, n + 2 * q, n + 2 * q);
    if (q > 0)
        for (int y = 0; y < n + 2 * q; ++y)
            for (int x = 0; x < n + 2 * q; ++x) SetPixel(x, y, LightColor);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) SetPixel(x + q, y + q, matrix.Dark(x, y) ? DarkColor : LightColor);
}

void TQRImage::EncodeText(std::string_view text, int ecLevel, bool convertToUtf8) {
    const TQRSymbol symbol = EncodeQRBytes(QRPayloadBytes(text, convertToUtf8), ecLevel);
    DrawMatrix(symbol.Matrix);
}

}  // namespace qm
