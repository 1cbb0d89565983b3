// TMarkupLabel: a label that paints a small subset of HTML (UHTMLText) with
// clickable links, hover highlighting, hints and inline pictures.
//
// Events are std::function members, called on the GUI thread with the label
// and the anchor's target; an empty function is not called.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "UHTMLText.h"
#include "UMarkupImages.h"
#include "UMarkupLabelProperties.h"
#include "UQtSurface.h"
#include "UStringList.h"

namespace qm {


class TMarkupLabel : public QWidget, public TMarkupLabelProperties {
    Q_OBJECT
public:
    using TAnchorEvent = std::function<void(TMarkupLabel& label, const std::string& anchor)>;
    using THintEvent = std::function<void(TMarkupLabel& label, std::string& hint)>;
    using TNotifyEvent = std::function<void(TMarkupLabel& label)>;
    using TLinkOpener = std::function<void(const std::string& target)>;

    explicit TMarkupLabel(QWidget* parent = nullptr);
    ~TMarkupLabel() override;


    // Not owned. A destroyed image list resets Images to null; the store
    // must outlive the label or be reset to null.
    TImageList* Images() const noexcept { return FImages; }
    void SetImages(TImageList* images);
    TPictureStore* PictureStore() const noexcept { return FPictureStore; }
    void SetPictureStore(TPictureStore* store);
    const TPictureCache& PictureCache() const noexcept { return FCache; }

    // Paints at once (synchronously), also when the label is not shown:
    // then only the layout runs, so AutoSizing still takes effect.
    void PaintNow();
    // No painting while BeginUpdate calls outnumber EndUpdate calls;
    // the last EndUpdate repaints.
    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate();

    // The target of the anchor under (x, y) in widget coordinates, or "".
    std::string GetAnchorAt(int x, int y);
    // The full hit-test result at (x, y).
    TAnchorHit AnchorAt(int x, int y);
    // The rectangle the text is laid out in (client rectangle minus the
    // borders and bevels), before auto-size and vertical alignment.
    TRect TextRect() const;
    // The base font of the text as the engine sees it.
    TFontSpec BaseFont() const;

    // The anchor that has the keyboard focus while the label has it: 1 to
    // the number of anchors (in text order), 0 for none. Tab and Shift+Tab
    // move through the anchors before they leave the label, Enter and Space
    // activate the focused one as a left click does. A label takes the
    // focus by Tab only while it shows an anchor.
    int FocusedAnchor() const noexcept { return FFocusAnchor; }
    // The width the label's text engine gives `markup` on one unbounded line
    // in the label's font, >= 0.
    int OneLineWidth(std::string_view markup);
    // Every anchor as laid out now (see AnchorsOfHTMLText).
    std::vector<TAnchorHit> Anchors();
    // Activates `hit` as a left click on it does.
    void ActivateAnchor(const TAnchorHit& hit);

    // Opens link targets holding "://" or "mailto:"; by default with
    // QDesktopServices::openUrl. The program may route it elsewhere.
    void SetLinkOpener(TLinkOpener opener) { FLinkOpener = std::move(opener); }

    TAnchorEvent OnAnchorClick;
    TAnchorEvent OnAnchorEnter;
    TAnchorEvent OnAnchorExit;
    THintEvent OnAnchorHint;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

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
    void Paint(QPainter* painter);
    // Whether AutoSizing changes the height or the width, given Align.
    bool AutoSizesHeight() const noexcept;
    bool AutoSizesWidth() const noexcept;
    void DrawFrame(QPainter& painter) const;
    // The text rectangle as painted: auto-size extension and vertical
    // alignment applied.
    TRect LayoutRect(THTMLSurface& surface, const std::string& text, const TFontSpec& font) const;
    void LoadMissingPictures(std::set<std::string> addresses);
    // Takes the Tab focus while there is an anchor, and keeps the focused
    // anchor within the anchors there are.
    void UpdateFocusability();
    int AnchorCount();
    void DrawAnchorFocus(QPainter& painter, THTMLSurface& surface, const std::string& text, const TFontSpec& font,
                         const TRect& layout);
    void SetHovered(const TAnchorHit& hit);
    void Changed() override;
    void HTMLTextReplaced() override;

    TImageList* FImages = nullptr;
    QMetaObject::Connection FImagesChanged;
    QMetaObject::Connection FImagesDestroyed;
    TPictureStore* FPictureStore = nullptr;
    TPictureCache FCache;
    int FUpdateCount = 0;
    int FHoverAnchor = -1;
    TRect FHoverRect;
    std::string FHoverTarget;
    std::optional<TPoint> FMouse;
    int FFocusAnchor = 0;
    TLinkOpener FLinkOpener;
};

}  // namespace qm
