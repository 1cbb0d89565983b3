// TMarkupLabel: a label that paints a small subset of HTML (UHTMLText) with
// clickable links, hover highlighting, hints and inline pictures.
//
// Events (TMarkupLabelBehaviour's) are called on the GUI thread with the
// label and the anchor's target; an empty function is not called.
#pragma once

#include <QWidget>

#include <memory>
#include <set>
#include <string>

#include "UHTMLText.h"
#include "UMarkupImages.h"
#include "UMarkupLabelBehaviour.h"
#include "UQtSurface.h"
#include "UStringList.h"

namespace qm {

// The toolkit-free part (layout, anchors, hover, clicks, keys, hints and
// the events) is TMarkupLabelBehaviour's; this widget paints, measures with
// Qt and forwards Qt's events.
class TMarkupLabel : public QWidget, public TMarkupLabelBehaviour {
    Q_OBJECT
public:
    explicit TMarkupLabel(QWidget* parent = nullptr);
    ~TMarkupLabel() override;

    // Not owned. A destroyed image list resets Images to null; the store
    // must outlive the label or be reset to null.
    TImageList* Images() const noexcept { return FImages; }
    void SetImages(TImageList* images);
    TPictureStore* PictureStore() const noexcept { return FPictureStore; }
    void SetPictureStore(TPictureStore* store);
    const TPictureCache& PictureCache() const noexcept { return FCache; }

    void PaintNow() override;

    // The base font of the text as the engine sees it (the widget's font
    // with FontColor).
    TFontSpec BaseFont() const override;

    // Keyboard: Tab and Shift+Tab move through the anchors (FocusedAnchor)
    // before they leave the label, Enter and Space activate the focused one
    // as a left click does. A label takes the focus by Tab only while it
    // shows an anchor. Link targets open by default with
    // QDesktopServices::openUrl (SetLinkOpener).

protected:
    // The surface the label paints on; `painter` is null for layout only.
    virtual std::unique_ptr<TQtSurface> CreateSurface(QPainter* painter);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

private:
    TMarkupLabel& Self() noexcept override { return *this; }
    TSize ClientSize() const override { return {width(), height()}; }
    std::unique_ptr<THTMLSurface> LayoutSurface() override { return CreateSurface(nullptr); }
    bool HasKeyboardFocus() const override { return hasFocus(); }
    void ShowLinkCursor(bool overAnchor) override;
    void HideHint() override;
    void Repaint() override { update(); }
    void AnchorFocusMoved() override { update(); }

    void Paint(QPainter* painter);
    void DrawFrame(QPainter& painter) const;
    void LoadMissingPictures(std::set<std::string> addresses);
    // Takes the Tab focus while there is an anchor, and keeps the focused
    // anchor within the anchors there are.
    void UpdateFocusability();
    void DrawAnchorFocus(QPainter& painter, THTMLSurface& surface, const TLayout& layout);
    void Changed() override;
    void HTMLTextReplaced() override;

    TImageList* FImages = nullptr;
    QMetaObject::Connection FImagesChanged;
    QMetaObject::Connection FImagesDestroyed;
    TPictureStore* FPictureStore = nullptr;
    TPictureCache FCache;
};

}  // namespace qm
