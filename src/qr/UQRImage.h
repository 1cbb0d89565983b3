// Image objects that hold a QR symbol one pixel per module and save it as
// PNG: TInheritablePNG (a blank-able truecolour PNG image), TCustomBitImage
// (draws a module matrix with an optional quiet zone) and TQRImage (adds
// EncodeText, the entry of the encoder).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "UQRMatrix.h"
#include "URGBImage.h"

namespace qm {

// PNG colour type and bit depth MakeBlank supports (truecolour RGB, 8 bits).
inline constexpr int kPNGColorTypeRGB = 2;
inline constexpr int kPNGBitDepth8 = 8;

class TInheritablePNG {
public:
    TInheritablePNG() = default;
    virtual ~TInheritablePNG() = default;
    TInheritablePNG(const TInheritablePNG&) = default;
    TInheritablePNG& operator=(const TInheritablePNG&) = default;

    // Drops the current image and starts a blank (black) one. Only colour
    // type 2 with bit depth 8 exists here; other forms raise
    // EQuillmarkError. Preconditions: 0 <= width, height <= 65535.
    void MakeBlank(int colorType, int bitDepth, int width, int height);

    int Width() const noexcept { return FImage.Width; }
    int Height() const noexcept { return FImage.Height; }
    const TRGBImage& Image() const noexcept { return FImage; }
    // Coordinates outside the image are ignored.
    void SetPixel(int x, int y, TColor color) noexcept;
    // Precondition: 0 <= x < Width(), 0 <= y < Height().
    TColor Pixel(int x, int y) const noexcept { return FImage.Pixel(x, y); }

    // The current image as PNG file bytes (see UPNGWriter.h for the format).
    // Raises EQuillmarkError for an empty image.
    std::string SaveToPNGBytes() const;
    void SaveToPNGStream(std::ostream& stream) const;
    // Writes the PNG file; a failure leaves any earlier file of that name
    // untouched and raises EInOutError.
    virtual void SaveToPNGFile(const std::string& fileName);
    // Replaces the image by decoded PNG bytes; raises
    // EQuillmarkError("Ungültiges Stream-Format") for invalid bytes.
    void LoadFromPNGBytes(std::string_view bytes);

private:
    TRGBImage FImage;
};

class TCustomBitImage : public TInheritablePNG {
public:
    TColor LightColor = clWhite;  // light modules and the quiet zone
    TColor DarkColor = clBlack;   // dark modules

    std::uint8_t MarginIndex() const noexcept { return FMarginIndex; }
    // Index 0..2 into QuietZoneModules (0, 2 or 4 modules on each side).
    // Raises EQuillmarkError("Ungültiger Randindex (n)") above 2.
    void SetMarginIndex(int marginIndex);
    // Quiet-zone width for the current MarginIndex, in modules.
    int QuietZone() const noexcept;

    // Replaces the image by `matrix`, one pixel per module, framed by the
    // quiet zone: (N + 2q) x (N + 2q) pixels, module (x, y) at pixel
    // (x + q, y + q).
    virtual void DrawMatrix(const TQRMatrix& matrix);

private:
    std::uint8_t FMarginIndex = 0;
};

class TQRImage : public TCustomBitImage {
public:
    // Encodes `text` (UTF-8) at `ecLevel` 0..3 (L, M, Q, H), as UTF-8 bytes
    // or as Windows-1252 bytes (see QRPayloadBytes), and draws the symbol
    // with DrawMatrix. On failure (text too long, level above 3) raises
    // EQuillmarkError and leaves the image as it was.
    virtual void EncodeText(std::string_view text, int ecLevel, bool convertToUtf8);
};

}  // namespace qm
