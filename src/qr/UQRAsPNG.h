// TQRImageScaled: a QR image written as a PNG file of a given edge length in
// millimetres at the screen's resolution, and the class operations that
// encode a text and write its file in one call.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "UQRImage.h"

namespace qm {

// Pixels per inch used when there is no screen.
inline constexpr int kDefaultPixelsPerInch = 96;
// Resolutions SetPixelsPerInch accepts.
inline constexpr int kMinPixelsPerInch = 24;
inline constexpr int kMaxPixelsPerInch = 1200;

// Edge length in pixels of an image of `sizeMM` millimetres at
// `pixelsPerInch`: round(round(sizeMM x 1000) / 1000 x 0.03937 x ppi), the
// inch factor in single precision, the product in extended precision, both
// roundings to the nearest integer with halves to even.
// Preconditions: 1 <= sizeMM <= 100000, kMinPixelsPerInch <= ppi <= kMaxPixelsPerInch.
int QRPixelSize(int sizeMM, int pixelsPerInch) noexcept;

// a x b / c rounded to the nearest integer, halves away from zero.
// Precondition: c != 0, the result fits an int.
int MulDivRound(int a, int b, int c) noexcept;

class TQRImageScaled : public TQRImage {
public:
    // Receives the stretched image just before it is written and may change it.
    std::function<void(TRGBImage&)> OnBitmap;

    int SizeMM() const noexcept { return FSizeMM; }
    // Keeps 10..200; every other value becomes 49.
    void SetSizeMM(int sizeMM) noexcept;

    int PixelsPerInch() const noexcept { return FPixelsPerInch; }
    // kMinPixelsPerInch..kMaxPixelsPerInch; raises EQuillmarkError
    // ("Ungültige Bildschirmauflösung (n dpi)") otherwise.
    void SetPixelsPerInch(int pixelsPerInch);

    // Edge length S of the written file: QRPixelSize(SizeMM(), PixelsPerInch()).
    // Precondition: SizeMM() >= 1 (after SetSizeMM or DrawMatrix).
    int PixelSize() const noexcept;

    // With a quiet zone, first enlarges SizeMM to (N + 2q) x SizeMM / N
    // (rounded, halves away from zero, not limited to 200) so the symbol
    // itself keeps the requested size; then draws as TCustomBitImage does.
    void DrawMatrix(const TQRMatrix& matrix) override;

    // The one-pixel-per-module image stretched to S x S pixels by
    // nearest-neighbour sampling (pixels repeated or dropped, never blended).
    // Precondition: an image has been drawn.
    TRGBImage ScaledBitmap() const;
    // PNG bytes of the stretched image (the file SaveToPNGFile writes).
    std::string SaveScaledPNGBytes() const;
    // Writes the stretched image as PNG; a failure leaves any earlier file
    // of that name untouched and raises EInOutError.
    void SaveToPNGFile(const std::string& fileName) override;

private:
    int FSizeMM = 0;
    int FPixelsPerInch = kDefaultPixelsPerInch;
};

// Makes the image object for WriteQRCodePNGOfClass: a TQRImageScaled or a
// descendant.
using TQRImageScaledClass = std::function<std::unique_ptr<TQRImageScaled>()>;

// Creates an image of `imageClass`, sets SizeMM to `size` (10..200, else 49),
// the margin index 0..2 and the resolution, encodes `text` at `ecLevel` 0..3
// (see TQRImage::EncodeText), writes the PNG file `fileName` and returns the
// final SizeMM. Every failure (text too long, level or margin index out of
// range, file not writable) raises before any file is created or changed.
int WriteQRCodePNGOfClass(const TQRImageScaledClass& imageClass, int size, std::string_view text,
                          const std::string& fileName, int ecLevel, bool convertToUtf8, int marginIndex,
                          int pixelsPerInch = kDefaultPixelsPerInch);

// WriteQRCodePNGOfClass with TQRImageScaled itself.
int WriteQRCodePNG(int size, std::string_view text, const std::string& fileName, int ecLevel, bool convertToUtf8,
                   int marginIndex, int pixelsPerInch = kDefaultPixelsPerInch);

}  // namespace qm
