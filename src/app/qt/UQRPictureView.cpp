#include "UQRPictureView.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "ULiveImportFrm.h"

namespace qm {

TQRPictureView::TQRPictureView(QWidget* parent) : QLabel(parent) {
    // A QR code needs light around it to scan (ISO/IEC 18004, 9.1 quiet
    // zone): the picture's own background is white whatever the theme.
    QPalette light = palette();
    light.setColor(QPalette::Window, Qt::white);
    setPalette(light);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

void TQRPictureView::PaintFocusFrame(QPainter& painter) const {
    if (!hasFocus()) return;
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = FocusFrameRect();
    option.backgroundColor = Qt::white;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, parentWidget());
}

void TQRPictureView::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    if (parentWidget() != nullptr) parentWidget()->update(FocusFrameRect());
}

void TQRPictureView::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    if (parentWidget() != nullptr) parentWidget()->update(FocusFrameRect());
}

namespace {

class TPictureAccessible : public QAccessibleWidget {
public:
    explicit TPictureAccessible(TQRPictureView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}

    QStringList actionNames() const override {
        return {pressAction(), showMenuAction(), setFocusAction()};
    }
    QString localizedActionName(const QString& name) const override {
        if (name == pressAction()) return QString::fromUtf8("\xC3\x96" "ffnen");
        if (name == showMenuAction()) return QStringLiteral("Men\u00FC");
        return QAccessibleWidget::localizedActionName(name);
    }
    void doAction(const QString& name) override {
        auto* view = static_cast<TQRPictureView*>(widget());
        if (name == pressAction() && view->OnActivate) view->OnActivate();
        else if (name == showMenuAction() && view->OnMenu) view->OnMenu();
        else QAccessibleWidget::doAction(name);
    }
};

// An entry of a popup menu that switches something on or off ("Für ältere
// Telefone"): Qt's own menu entries do not tell AT-SPI that they can be
// checked, so a screen reader would not say whether the switch is on. The
// entry is a check box inside the menu.
class TCheckableMenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TCheckableMenuItemAccessible(QAction* action, QMenu* menu) : FAction(action), FMenu(menu) {}

    bool isValid() const override { return !FAction.isNull() && !FMenu.isNull(); }
    QObject* object() const override { return FAction; }
    QWindow* window() const override { return FMenu.isNull() ? nullptr : FMenu->windowHandle(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(FMenu); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || FAction.isNull()) return {};
        return FAction->text();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = FMenu->actionGeometry(FAction);
        return QRect(FMenu->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) return s;
        s.checkable = true;
        s.checked = FAction->isChecked();
        s.disabled = !FAction->isEnabled();
        s.focusable = true;
        s.focused = FMenu->activeAction() == FAction;
        s.invisible = !FMenu->isVisible() || !FAction->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override {
        if (name != toggleAction() || !isValid() || !FAction->isEnabled()) return;
        // Chosen as by the keyboard, so the menu closes with it as its answer.
        FMenu->setActiveAction(FAction);
        QCoreApplication::postEvent(FMenu, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QAction> FAction;
    QPointer<QMenu> FMenu;
};

}  // namespace

QAccessibleInterface* DialogAccessibleFactory(const QString&, QObject* object) {
    if (auto* action = qobject_cast<QAction*>(object); action != nullptr && action->isCheckable()) {
        for (QObject* owner : action->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(owner)) return new TCheckableMenuItemAccessible(action, menu);
        return nullptr;
    }
    if (auto* view = qobject_cast<TQRPictureView*>(object)) return new TPictureAccessible(view);
    // The window is a dialog to screen readers; its name is the accessible
    // name the dialog sets (what it is and the record), not the title.
    if (auto* form = qobject_cast<TLiveImportFrm*>(object)) return new QAccessibleWidget(form, QAccessible::Dialog);
    return nullptr;
}

}  // namespace qm
