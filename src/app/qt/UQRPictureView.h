// The QR picture of the Qt dialog: a label showing the card's image on white
// (the code's quiet zone stays light in any desktop theme), which takes the
// keyboard focus, draws the style's focus frame while it has it, and offers
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

protected:
    void paintEvent(QPaintEvent* event) override;
};

// For QAccessible::installFactory: the dialog window as a dialog, the QR
// picture as a graphic with the actions "open" (press, default) and "menu";
// null for anything else.
QAccessibleInterface* DialogAccessibleFactory(const QString& className, QObject* object);

}  // namespace qm
