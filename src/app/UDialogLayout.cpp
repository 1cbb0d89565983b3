#include "UDialogLayout.h"

#include "UQRAsPNG.h"

namespace qm {

namespace {

// Points per inch (a point is 1/72 inch).
constexpr int kPointsPerInch = 72;

}  // namespace

int ScaleToDensity(int length, int pixelsPerInch) noexcept {
    return MulDivRound(length, pixelsPerInch, kDesignPixelsPerInch);
}

TDialogLayout LayoutAroundImage(int pixelsPerInch, TSize image) noexcept {
    const auto scaled = [pixelsPerInch](int length) { return ScaleToDensity(length, pixelsPerInch); };
    const int label = scaled(kDesignLabelHeight);
    TDialogLayout layout;
    layout.LabelHeight = label;
    layout.LabelBorder = scaled(kDesignLabelBorder);
    layout.FontHeight = MulDivRound(kDialogFontPoints, pixelsPerInch, kPointsPerInch);
    layout.ImagePos = {scaled(kDesignImageLeft), label + scaled(kDesignImageGap)};
    layout.ClientSize = {image.Width + scaled(kDesignClientMargin), label + image.Height + scaled(kDesignClientMargin)};
    return layout;
}

TDialogLayout InitialLayout(int pixelsPerInch) noexcept {
    TDialogLayout layout = LayoutAroundImage(pixelsPerInch, {0, 0});
    layout.ClientSize = {ScaleToDensity(kDesignClientSize.Width, pixelsPerInch),
                         ScaleToDensity(kDesignClientSize.Height, pixelsPerInch)};
    return layout;
}

int ImageLayoutSize(int sizeMM, int imagePpi, int layoutPpi) noexcept {
    return MulDivRound(QRPixelSize(sizeMM, imagePpi), layoutPpi, imagePpi);
}

int LargeImageMM(TSize workArea, TSize frame, int imagePpi, int layoutPpi) noexcept {
    for (int mm = kLargeImageMM; mm > kSmallImageMM; --mm) {
        const int edge = ImageLayoutSize(mm, imagePpi, layoutPpi);
        const TSize client = LayoutAroundImage(layoutPpi, {edge, edge}).ClientSize;
        if (client.Width + frame.Width <= workArea.Width && client.Height + frame.Height <= workArea.Height) return mm;
    }
    return kSmallImageMM;
}

}  // namespace qm
