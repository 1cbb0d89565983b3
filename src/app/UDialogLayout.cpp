#include "UDialogLayout.h"

#include <algorithm>

#include "UQRAsPNG.h"

namespace qm {

namespace {

// Points per inch (a point is 1/72 inch).
constexpr int kPointsPerInch = 72;

}  // namespace

int QuietZonePixels(int imageEdge, int modules) noexcept {
    return kQuietZoneModules * ((imageEdge + modules - 1) / modules);
}

int ScaleToDensity(int length, int pixelsPerInch) noexcept {
    return MulDivRound(length, pixelsPerInch, kDesignPixelsPerInch);
}

TDialogLayout LayoutAroundImage(int pixelsPerInch, TSize image, int modules) noexcept {
    const auto scaled = [pixelsPerInch](int length) { return ScaleToDensity(length, pixelsPerInch); };
    const int label = scaled(kDesignLabelHeight);
    const int quietX = QuietZonePixels(image.Width, modules);
    const int quietY = QuietZonePixels(image.Height, modules);
    const int margin = scaled(kDesignClientMargin);
    const int left = std::max(scaled(kDesignImageLeft), quietX);
    const int right = std::max(margin - scaled(kDesignImageLeft), quietX);
    const int top = std::max(scaled(kDesignImageGap), quietY);
    const int bottom = std::max(margin - scaled(kDesignImageGap), quietY);
    TDialogLayout layout;
    layout.LabelHeight = label;
    layout.LabelBorder = scaled(kDesignLabelBorder);
    layout.FontHeight = MulDivRound(kDialogFontPoints, pixelsPerInch, kPointsPerInch);
    layout.ImagePos = {left, label + top};
    layout.ClientSize = {left + image.Width + right, label + top + image.Height + bottom};
    return layout;
}

TDialogLayout InitialLayout(int pixelsPerInch) noexcept {
    TDialogLayout layout = LayoutAroundImage(pixelsPerInch, {0, 0}, 1);
    layout.ClientSize = {ScaleToDensity(kDesignClientSize.Width, pixelsPerInch),
                         ScaleToDensity(kDesignClientSize.Height, pixelsPerInch)};
    return layout;
}

int ImageLayoutSize(int sizeMM, int imagePpi, int layoutPpi) noexcept {
    return MulDivRound(QRPixelSize(sizeMM, imagePpi), layoutPpi, imagePpi);
}

TDialogLayout CardLayoutAtDensity(int pixelsPerInch, int imageMM, int modules) noexcept {
    if (imageMM == 0) return InitialLayout(pixelsPerInch);
    const int edge = ImageLayoutSize(imageMM, pixelsPerInch, pixelsPerInch);
    return LayoutAroundImage(pixelsPerInch, {edge, edge}, modules);
}

int LargeImageMM(TSize workArea, TSize frame, int imagePpi, int layoutPpi, int modules) noexcept {
    for (int mm = kLargeImageMM; mm > kSmallImageMM; --mm) {
        const int edge = ImageLayoutSize(mm, imagePpi, layoutPpi);
        const TSize client = LayoutAroundImage(layoutPpi, {edge, edge}, modules).ClientSize;
        if (client.Width + frame.Width <= workArea.Width && client.Height + frame.Height <= workArea.Height) return mm;
    }
    return kSmallImageMM;
}

}  // namespace qm
