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

}  // namespace

TMarkupLabel::TMarkupLabel(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    SetLinkOpener([](const std::string& target) { QDesktopServices::openUrl(QUrl(QString::fromStdString(target))); });
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

void TMarkupLabel::UpdateFocusability() {
    const int last = ClampAnchorFocus();
    setFocusPolicy(last > 0 ? Qt::TabFocus : Qt::NoFocus);
    if (last == 0 && hasFocus()) focusNextChild();
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

TFontSpec TMarkupLabel::BaseFont() const { return FontSpecFromQFont(font(), FFontColor, logicalDpiY()); }

std::unique_ptr<TQtSurface> TMarkupLabel::CreateSurface(QPainter* painter) {
    return std::make_unique<TQtSurface>(painter, this, palette(), TImageSources{FImages, FPictureStore, &FCache});
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
    if (Updating()) return;
    if (painter) DrawFrame(*painter);

    std::unique_ptr<TQtSurface> surface = CreateSurface(painter);
    const TLayout layout = Layout(*surface);
    const TTextExtent extent = DrawLayout(*surface, layout);
    if (painter && hasFocus() && FFocusAnchor > 0) DrawAnchorFocus(*painter, *surface, layout);
    if (!surface->MissingAddresses().empty()) LoadMissingPictures(surface->MissingAddresses());

    const TSize size = AutoSized(extent);
    if (size != ClientSize()) resize(size.Width, size.Height);
}

void TMarkupLabel::DrawAnchorFocus(QPainter& painter, THTMLSurface& surface, const TLayout& layout) {
    QRect around;
    for (const TAnchorHit& a : AnchorPiecesOf(surface, layout)) {
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

void TMarkupLabel::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    MousePressed(button == Qt::LeftButton     ? TMouseButton::mbLeft
                 : button == Qt::RightButton  ? TMouseButton::mbRight
                 : button == Qt::MiddleButton ? TMouseButton::mbMiddle
                                              : TMouseButton::mbOther,
                 {pos.x(), pos.y()});
    QWidget::mousePressEvent(event);
}

void TMarkupLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Only the plain keys activate; the keypad's Enter counts as plain.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const TLabelKey label = !plain                                           ? TLabelKey::lkOther
                            : key == Qt::Key_Return || key == Qt::Key_Enter ? TLabelKey::lkEnter
                            : key == Qt::Key_Space                          ? TLabelKey::lkSpace
                                                                            : TLabelKey::lkOther;
    if (KeyPressed(label)) return;
    QWidget::keyPressEvent(event);
}

void TMarkupLabel::resizeEvent(QResizeEvent* event) {
    // What fits, and so which anchors there are, depends on the size.
    UpdateFocusability();
    QWidget::resizeEvent(event);
}

void TMarkupLabel::focusInEvent(QFocusEvent* event) {
    // Shift+Tab enters at the last anchor, anything else at the first.
    if (!PlaceAnchorFocus(event->reason() == Qt::BacktabFocusReason)) FFocusAnchor = 0;
    update();
    QWidget::focusInEvent(event);
}

void TMarkupLabel::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

bool TMarkupLabel::focusNextPrevChild(bool next) {
    // Tab moves from anchor to anchor; past the last one it leaves the label.
    return FocusNextAnchor(!next) || QWidget::focusNextPrevChild(next);
}

void TMarkupLabel::ShowLinkCursor(bool overAnchor) {
    if (overAnchor) setCursor(Qt::PointingHandCursor);
    else unsetCursor();
}

void TMarkupLabel::HideHint() { QToolTip::hideText(); }

void TMarkupLabel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    MouseMoved({pos.x(), pos.y()});
    QWidget::mouseMoveEvent(event);
}

void TMarkupLabel::enterEvent(QEnterEvent* event) {
    MouseEntered();
    QWidget::enterEvent(event);
}

void TMarkupLabel::leaveEvent(QEvent* event) {
    if (OverAnchor()) unsetCursor();
    MouseLeft();
    QWidget::leaveEvent(event);
}

bool TMarkupLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const std::optional<std::string> hint = HintAt(help->pos().x(), help->pos().y())) {
            QToolTip::showText(help->globalPos() + QPoint(kHintOffset.X, kHintOffset.Y),
                               QString::fromStdString(*hint), this);
            return true;
        }
    }
    return QWidget::event(event);
}

}  // namespace qm
