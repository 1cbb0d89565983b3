#include "UMarkupLabel.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <QUrl>

#include <algorithm>

namespace qm {

namespace {

// Extra pixels around the text when AutoSizing resizes the label.
constexpr int kAutoSizeMargin = 6;
// How far the layout rectangle grows in the dimension AutoSizing changes.
constexpr int kAutoSizeExtent = 65535;
// Where an anchor's hint appears relative to the mouse.
constexpr QPoint kHintOffset(10, -10);

// Fills the ring of `width` pixels just inside `outer`, top and left edges
// in `topLeft`, bottom and right edges in `bottomRight`.
void FillRing(QPainter& p, const QRect& outer, int width, const QColor& topLeft, const QColor& bottomRight) {
    if (width <= 0 || outer.isEmpty()) return;
    width = std::min({width, (outer.width() + 1) / 2, (outer.height() + 1) / 2});
    p.fillRect(QRect(outer.left(), outer.top(), outer.width(), width), topLeft);
    p.fillRect(QRect(outer.left(), outer.top(), width, outer.height()), topLeft);
    p.fillRect(QRect(outer.left(), outer.bottom() - width + 1, outer.width(), width), bottomRight);
    p.fillRect(QRect(outer.right() - width + 1, outer.top(), width, outer.height()), bottomRight);
}

bool OpensWithDesktop(const std::string& target) {
    return target.find("://") != std::string::npos || target.find("mailto:") != std::string::npos;
}

}  // namespace

TMarkupLabel::TMarkupLabel(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    FLinkOpener = [](const std::string& target) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(target)));
    };
}

TMarkupLabel::~TMarkupLabel() = default;

void TMarkupLabel::Changed() {
    UpdateFocusability();
    update();
}

void TMarkupLabel::HTMLTextReplaced() {
    FCache.Clear();
    UpdateFocusability();
}

int TMarkupLabel::AnchorCount() {
    int count = 0;
    for (const TAnchorHit& a : Anchors()) count = std::max(count, a.Index);
    return count;
}

void TMarkupLabel::UpdateFocusability() {
    const int count = AnchorCount();
    setFocusPolicy(count > 0 ? Qt::TabFocus : Qt::NoFocus);
    if (FFocusAnchor > count) FFocusAnchor = count;
    if (count == 0 && hasFocus()) focusNextChild();
}

void TMarkupLabel::SetImages(TImageList* images) {
    disconnect(FImagesChanged);
    disconnect(FImagesDestroyed);
    FImages = images;
    if (FImages) {
        FImagesChanged = connect(FImages, &TImageList::Changed, this, [this] { Changed(); });
        FImagesDestroyed = connect(FImages, &QObject::destroyed, this, [this] {
            FImages = nullptr;
            update();
        });
    }
    Changed();
}

void TMarkupLabel::SetPictureStore(TPictureStore* store) {
    FPictureStore = store;
    Changed();
}

void TMarkupLabel::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) PaintNow();
}

TFontSpec TMarkupLabel::BaseFont() const { return FontSpecFromQFont(font(), FFontColor, logicalDpiY()); }

std::unique_ptr<TQtSurface> TMarkupLabel::CreateSurface(QPainter* painter) {
    return std::make_unique<TQtSurface>(painter, this, palette(), TImageSources{FImages, FPictureStore, &FCache});
}

TRect TMarkupLabel::TextRect() const {
    const bool bevel = FBevelInner != TBevelCut::bvNone || FBevelOuter != TBevelCut::bvNone;
    const bool single = FBorderStyle == TLabelBorderStyle::bsSingle;
    const int inset = FBorderWidth + (bevel ? FBevelWidth : 0) + (single ? FBorderWidth : 0);
    return {inset, inset, width() - inset, height() - inset};
}

bool TMarkupLabel::AutoSizesHeight() const noexcept {
    return FAutoSizing && FAutoSizeType != TAutoSizeType::asHorizontal &&
           (FAlign == TControlAlign::alNone || FAlign == TControlAlign::alTop || FAlign == TControlAlign::alBottom);
}

bool TMarkupLabel::AutoSizesWidth() const noexcept {
    return FAutoSizing && FAutoSizeType != TAutoSizeType::asVertical &&
           (FAlign == TControlAlign::alNone || FAlign == TControlAlign::alLeft || FAlign == TControlAlign::alRight);
}

TRect TMarkupLabel::LayoutRect(THTMLSurface& surface, const std::string& text, const TFontSpec& font) const {
    const TRect area = TextRect();
    TRect r = area;
    if (AutoSizesHeight()) r.Bottom += kAutoSizeExtent;
    if (AutoSizesWidth()) r.Right += kAutoSizeExtent;
    if (FVAlignment != TVAlignment::tvaTop) {
        const int textHeight = DrawHTMLText(surface, font, r, text, true, !FEllipsis, std::nullopt, FStyle).Height;
        if (textHeight < height()) {
            // Centred in the text area, or ending at its bottom.
            if (FVAlignment == TVAlignment::tvaCenter) r.Top += std::max(0, (area.Height() - textHeight) / 2);
            else r.Top = std::max(area.Top, area.Bottom - textHeight);
        }
    }
    return r;
}

void TMarkupLabel::DrawFrame(QPainter& p) const {
    const QRect client = rect();
    const QColor shadow = ToQColor(SystemColor(kColorBtnShadow), palette());
    const QColor light = ToQColor(SystemColor(kColorBtnHighlight), palette());
    auto bevel = [&](const QRect& outer, TBevelCut cut) {
        if (cut == TBevelCut::bvLowered) FillRing(p, outer, FBevelWidth, shadow, light);
        if (cut == TBevelCut::bvRaised) FillRing(p, outer, FBevelWidth, light, shadow);
    };
    bevel(client, FBevelOuter);
    const int outerInset = FBevelOuter != TBevelCut::bvNone ? FBevelWidth : 0;
    const QColor own = ToQColor(FStyle.BackgroundColor, palette());
    FillRing(p, client.adjusted(outerInset, outerInset, -outerInset, -outerInset), FBorderWidth, own, own);
    // From the text outwards: the inner bevel, then the black single frame.
    const TRect t = TextRect();
    QRect around(QPoint(t.Left, t.Top), QPoint(t.Right - 1, t.Bottom - 1));
    if (FBevelInner != TBevelCut::bvNone) {
        around.adjust(-FBevelWidth, -FBevelWidth, FBevelWidth, FBevelWidth);
        bevel(around, FBevelInner);
    }
    if (FBorderStyle == TLabelBorderStyle::bsSingle && FBorderWidth > 0) {
        around.adjust(-FBorderWidth, -FBorderWidth, FBorderWidth, FBorderWidth);
        FillRing(p, around, FBorderWidth, Qt::black, Qt::black);
    }
}

void TMarkupLabel::Paint(QPainter* painter) {
    if (painter && !FTransparent) painter->fillRect(rect(), ToQColor(FStyle.BackgroundColor, palette()));
    if (FUpdateCount > 0) return;
    if (painter) DrawFrame(*painter);

    const std::string text = JoinedText();
    const TFontSpec font = BaseFont();
    std::unique_ptr<TQtSurface> surface = CreateSurface(painter);
    const TRect r = LayoutRect(*surface, text, font);
    const TTextExtent extent = DrawHTMLText(*surface, font, r, text, false, !FEllipsis,
                                            FStyle.Hover ? FMouse : std::nullopt, FStyle);
    if (painter && hasFocus() && FFocusAnchor > 0) DrawAnchorFocus(*painter, *surface, text, font, r);
    if (!surface->MissingAddresses().empty()) LoadMissingPictures(surface->MissingAddresses());

    QSize size = this->size();
    if (AutoSizesHeight()) size.setHeight(extent.Height + kAutoSizeMargin);
    if (AutoSizesWidth()) size.setWidth(extent.Width + kAutoSizeMargin);
    if (size != this->size()) resize(size);
}

void TMarkupLabel::DrawAnchorFocus(QPainter& painter, THTMLSurface& surface, const std::string& text,
                                   const TFontSpec& font, const TRect& layout) {
    QRect around;
    for (const TAnchorHit& a : AnchorsOfHTMLText(surface, font, layout, text, !FEllipsis, FStyle)) {
        if (a.Index == FFocusAnchor) around |= QRect(QPoint(a.Rect.Left, a.Rect.Top), QPoint(a.Rect.Right - 1, a.Rect.Bottom - 1));
    }
    if (around.isEmpty()) return;
    // The desktop style's own focus frame, one pixel around the link.
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = around.adjusted(-1, 0, 1, 0) & rect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void TMarkupLabel::LoadMissingPictures(std::set<std::string> addresses) {
    // Loading happens outside painting; the label repaints once the
    // pictures are in the cache (failed loads are remembered as such).
    QMetaObject::invokeMethod(
        this,
        [this, addresses = std::move(addresses)] {
            for (const std::string& address : addresses)
                if (!FCache.Contains(address)) FCache.Store(address, LoadPictureFromAddress(address));
            update();
        },
        Qt::QueuedConnection);
}

void TMarkupLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(&painter);
}

void TMarkupLabel::PaintNow() {
    if (isVisible()) repaint();
    else Paint(nullptr);
}

TAnchorHit TMarkupLabel::AnchorAt(int x, int y) {
    const std::string text = JoinedText();
    const TFontSpec font = BaseFont();
    std::unique_ptr<TQtSurface> surface = CreateSurface(nullptr);
    const TRect r = LayoutRect(*surface, text, font);
    return HitTestHTMLText(*surface, font, r, text, {x, y}, !FEllipsis, FStyle);
}

std::string TMarkupLabel::GetAnchorAt(int x, int y) { return AnchorAt(x, y).Target; }

int TMarkupLabel::OneLineWidth(std::string_view markup) {
    std::unique_ptr<TQtSurface> surface = CreateSurface(nullptr);
    constexpr int kUnbounded = 1 << 24;
    return DrawHTMLText(*surface, BaseFont(), TRect{0, 0, kUnbounded, kUnbounded}, markup, true, false, std::nullopt,
                        FStyle)
        .Width;
}

std::vector<TAnchorHit> TMarkupLabel::Anchors() {
    const std::string text = JoinedText();
    const TFontSpec font = BaseFont();
    std::unique_ptr<TQtSurface> surface = CreateSurface(nullptr);
    const TRect r = LayoutRect(*surface, text, font);
    return AnchorsOfHTMLText(*surface, font, r, text, !FEllipsis, FStyle);
}

void TMarkupLabel::ActivateAnchor(const TAnchorHit& hit) {
    if (hit.Index <= 0) return;
    if (OpensWithDesktop(hit.Target)) {
        if (FLinkOpener) FLinkOpener(hit.Target);
    } else if (OnAnchorClick) {
        OnAnchorClick(*this, hit.Target);
    }
}

void TMarkupLabel::mousePressEvent(QMouseEvent* event) {
    // A link follows the left button only; the right one belongs to menus.
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        ActivateAnchor(AnchorAt(pos.x(), pos.y()));
    }
    QWidget::mousePressEvent(event);
}

void TMarkupLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && FFocusAnchor > 0 && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        for (const TAnchorHit& a : Anchors()) {
            if (a.Index == FFocusAnchor) {
                ActivateAnchor(a);
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}

void TMarkupLabel::resizeEvent(QResizeEvent* event) {
    // What fits, and so which anchors there are, depends on the size.
    UpdateFocusability();
    QWidget::resizeEvent(event);
}

void TMarkupLabel::focusInEvent(QFocusEvent* event) {
    const int count = AnchorCount();
    // Shift+Tab enters at the last anchor, anything else at the first.
    FFocusAnchor = count == 0 ? 0 : event->reason() == Qt::BacktabFocusReason ? count : 1;
    update();
    QWidget::focusInEvent(event);
}

void TMarkupLabel::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

bool TMarkupLabel::focusNextPrevChild(bool next) {
    // Tab moves from anchor to anchor; past the last one it leaves the label.
    const int count = AnchorCount();
    const int to = FFocusAnchor + (next ? 1 : -1);
    if (hasFocus() && to >= 1 && to <= count) {
        FFocusAnchor = to;
        update();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void TMarkupLabel::SetHovered(const TAnchorHit& hit) {
    const int index = hit.Index > 0 ? hit.Index : -1;
    if (index != -1) {
        setCursor(Qt::PointingHandCursor);
        if (index == FHoverAnchor) return;
        if (FAnchorHint) QToolTip::hideText();
        FHoverAnchor = index;
        FHoverRect = hit.Rect;
        FHoverTarget = hit.Target;
        if (OnAnchorEnter) OnAnchorEnter(*this, FHoverTarget);
    } else {
        if (FHoverAnchor == -1) return;
        unsetCursor();
        const std::string old = std::exchange(FHoverTarget, std::string());
        FHoverAnchor = -1;
        FHoverRect = {};
        if (OnAnchorExit) OnAnchorExit(*this, old);
    }
    // An anchor may span several runs and lines: repaint the whole label.
    if (FStyle.Hover) update();
}

void TMarkupLabel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    FMouse = TPoint{pos.x(), pos.y()};
    SetHovered(AnchorAt(pos.x(), pos.y()));
    QWidget::mouseMoveEvent(event);
}

void TMarkupLabel::enterEvent(QEnterEvent* event) {
    if (OnMouseEnter) OnMouseEnter(*this);
    QWidget::enterEvent(event);
}

void TMarkupLabel::leaveEvent(QEvent* event) {
    FMouse.reset();
    if (FHoverAnchor != -1) {
        FHoverAnchor = -1;
        FHoverRect = {};
        FHoverTarget.clear();
        unsetCursor();
        if (FStyle.Hover) update();
    }
    if (OnMouseLeave) OnMouseLeave(*this);
    QWidget::leaveEvent(event);
}

bool TMarkupLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const TAnchorHit hit = AnchorAt(help->pos().x(), help->pos().y());
        std::optional<std::string> hint;
        if (FAnchorHint && hit.Index > 0) {
            hint = hit.Target;
            if (OnAnchorHint) OnAnchorHint(*this, *hint);
        } else if (FHintShowFull) {
            hint = FHTMLHint ? JoinedText() : StripHTMLTags(JoinedText());
        }
        if (hint) {
            QToolTip::showText(help->globalPos() + kHintOffset, QString::fromStdString(*hint), this);
            return true;
        }
    }
    return QWidget::event(event);
}

}  // namespace qm
