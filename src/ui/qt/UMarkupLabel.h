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

#include "UHTMLText.h"
#include "UMarkupImages.h"
#include "UQtSurface.h"
#include "UStringList.h"

namespace qm {

enum class TAutoSizeType { asVertical, asHorizontal, asBoth };
enum class TVAlignment { tvaTop, tvaCenter, tvaBottom };
enum class TLabelBorderStyle { bsNone, bsSingle };
enum class TBevelCut { bvNone, bvLowered, bvRaised };
// How the parent docks the label; AutoSizing only changes the dimension
// that this leaves free (height for none/top/bottom, width for
// none/left/right).
enum class TControlAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TMarkupLabel : public QWidget {
    Q_OBJECT
public:
    using TAnchorEvent = std::function<void(TMarkupLabel& label, const std::string& anchor)>;
    using THintEvent = std::function<void(TMarkupLabel& label, std::string& hint)>;
    using TNotifyEvent = std::function<void(TMarkupLabel& label)>;
    using TLinkOpener = std::function<void(const std::string& target)>;

    explicit TMarkupLabel(QWidget* parent = nullptr);
    ~TMarkupLabel() override;

    // The source lines; the text laid out is all lines joined with nothing
    // between them. Setting it clears the picture cache and repaints.
    const TStringList& HTMLText() const noexcept { return FHTMLText; }
    void SetHTMLText(const TStringList& lines);
    // Convenience: the lines of `text` (split at CR LF, LF or CR).
    void SetHTMLText(std::string_view text);
    // All lines joined without separators, as painted.
    std::string JoinedText() const;

    bool AutoSizing() const noexcept { return FAutoSizing; }
    void SetAutoSizing(bool value);
    TAutoSizeType AutoSizeType() const noexcept { return FAutoSizeType; }
    void SetAutoSizeType(TAutoSizeType value);
    TControlAlign Align() const noexcept { return FAlign; }
    void SetAlign(TControlAlign value);
    bool Ellipsis() const noexcept { return FEllipsis; }
    void SetEllipsis(bool value);
    TVAlignment VAlignment() const noexcept { return FVAlignment; }
    void SetVAlignment(TVAlignment value);
    // Margin in pixels (>= 0) inside the bevels, painted in the label's colour.
    int BorderWidth() const noexcept { return FBorderWidth; }
    void SetBorderWidth(int value);
    TLabelBorderStyle BorderStyle() const noexcept { return FBorderStyle; }
    void SetBorderStyle(TLabelBorderStyle value);
    TBevelCut BevelInner() const noexcept { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    TBevelCut BevelOuter() const noexcept { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    // Width of each bevel in pixels (>= 1).
    int BevelWidth() const noexcept { return FBevelWidth; }
    void SetBevelWidth(int value);

    TColor URLColor() const noexcept { return FStyle.URLColor; }
    void SetURLColor(TColor value);
    TColor ShadowColor() const noexcept { return FStyle.ShadowColor; }
    void SetShadowColor(TColor value);
    int ShadowOffset() const noexcept { return FStyle.ShadowOffset; }
    void SetShadowOffset(int value);
    bool Hover() const noexcept { return FStyle.Hover; }
    void SetHover(bool value);
    TColor HoverColor() const noexcept { return FStyle.HoverColor; }
    void SetHoverColor(TColor value);
    TColor HoverFontColor() const noexcept { return FStyle.HoverFontColor; }
    void SetHoverFontColor(TColor value);
    // The label's colour (background and border margin), default clBtnFace.
    TColor Color() const noexcept { return FStyle.BackgroundColor; }
    void SetColor(TColor value);
    // Colour of the base font, default clWindowText.
    TColor FontColor() const noexcept { return FFontColor; }
    void SetFontColor(TColor value);
    bool Transparent() const noexcept { return FTransparent; }
    void SetTransparent(bool value);

    bool AnchorHint() const noexcept { return FAnchorHint; }
    void SetAnchorHint(bool value) { FAnchorHint = value; }
    bool HintShowFull() const noexcept { return FHintShowFull; }
    void SetHintShowFull(bool value) { FHintShowFull = value; }
    bool HTMLHint() const noexcept { return FHTMLHint; }
    void SetHTMLHint(bool value) { FHTMLHint = value; }

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
    void SetHovered(const TAnchorHit& hit);
    void Changed();

    TStringList FHTMLText;
    bool FAutoSizing = false;
    TAutoSizeType FAutoSizeType = TAutoSizeType::asVertical;
    TControlAlign FAlign = TControlAlign::alNone;
    bool FEllipsis = false;
    TVAlignment FVAlignment = TVAlignment::tvaTop;
    int FBorderWidth = 0;
    TLabelBorderStyle FBorderStyle = TLabelBorderStyle::bsNone;
    TBevelCut FBevelInner = TBevelCut::bvNone;
    TBevelCut FBevelOuter = TBevelCut::bvNone;
    int FBevelWidth = 1;
    THTMLStyle FStyle;
    TColor FFontColor = SystemColor(8);  // clWindowText
    bool FTransparent = false;
    bool FAnchorHint = false;
    bool FHintShowFull = false;
    bool FHTMLHint = false;
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
    TLinkOpener FLinkOpener;
};

}  // namespace qm
