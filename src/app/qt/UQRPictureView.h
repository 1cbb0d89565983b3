// The QR picture of the Qt dialog: a label showing the card's image on white
// (the code's quiet zone stays light in any desktop theme), which takes the
// keyboard focus, has the style's focus frame drawn around it in the quiet
// zone while it has it (by the parent, PaintFocusFrame), and offers
// assistive technology its two actions: open the card and show the menu.
#pragma once

#include <QLabel>
#include <functional>

class QAccessibleInterface;

namespace qm {

class TQRPictureView : public QLabel {
    Q_OBJECT
public:
    explicit TQRPictureView(QWidget* parent = nullptr);

    // The picture's default action (open the card), and its menu. Empty
    // functions do nothing.
    std::function<void()> OnActivate;
    std::function<void()> OnMenu;

    // Where the focus frame goes, in the parent's coordinates: around the
    // picture at kFocusFrameGap, in the white quiet zone the parent gives it,
    // so that no pixel of the code is drawn over.
    static constexpr int kFocusFrameGap = 3;
    QRect FocusFrameRect() const {
        return geometry().adjusted(-kFocusFrameGap, -kFocusFrameGap, kFocusFrameGap, kFocusFrameGap);
    }
    // Draws the style's focus frame at FocusFrameRect() with `painter` on
    // the parent, when the picture has the focus.
    void PaintFocusFrame(QPainter& painter) const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// For QAccessible::installFactory: the dialog window as a dialog, the QR
// picture as a graphic with the actions "open" (press, default) and "menu";
// null for anything else.
QAccessibleInterface* DialogAccessibleFactory(const QString& className, QObject* object);

}  // namespace qm
