#include "UMarkupLabelAccessible.h"

#include <QAccessibleWidget>
#include <QPointer>

#include <algorithm>
#include <vector>

#include "UMarkupLabel.h"

namespace qm {

namespace {

// One anchor of a label. It lives in Qt's accessibility cache, which owns
// and deletes it; the label's interface unregisters it when the anchors
// change or the label goes.
class TAnchorAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TAnchorAccessible(TMarkupLabel* label, QAccessibleInterface* parent, int index)
        : FLabel(label), FParent(parent), FIndex(index) {}

    bool isValid() const override { return !FLabel.isNull() && !Pieces().empty(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return FParent->window(); }
    QAccessibleInterface* parent() const override { return FParent; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Link; }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return {};
        std::string text;
        for (const TAnchorHit& piece : Pieces()) text += piece.Text;
        return QString::fromStdString(text);
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        QRect around;
        for (const TAnchorHit& piece : Pieces())
            around |= QRect(QPoint(piece.Rect.Left, piece.Rect.Top), QPoint(piece.Rect.Right - 1, piece.Rect.Bottom - 1));
        if (FLabel.isNull() || around.isEmpty()) return {};
        return QRect(FLabel->mapToGlobal(around.topLeft()), around.size());
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = true;
        s.linked = true;
        s.focused = !FLabel.isNull() && FLabel->hasFocus() && FLabel->FocusedAnchor() == FIndex;
        s.invisible = FLabel.isNull() || !FLabel->isVisible();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name != pressAction() || FLabel.isNull()) return;
        const std::vector<TAnchorHit> pieces = Pieces();
        if (!pieces.empty()) FLabel->ActivateAnchor(pieces.front());
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    std::vector<TAnchorHit> Pieces() const {
        std::vector<TAnchorHit> pieces;
        if (FLabel.isNull()) return pieces;
        for (TAnchorHit& a : FLabel->AnchorPieces())
            if (a.Index == FIndex) pieces.push_back(std::move(a));
        return pieces;
    }

    QPointer<TMarkupLabel> FLabel;
    QAccessibleInterface* FParent;
    int FIndex;
};

// The label: a static text with the accessible name as its text.
class TMarkupLabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TMarkupLabelAccessible(TMarkupLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    ~TMarkupLabelAccessible() override { Forget(); }

    int childCount() const override { return static_cast<int>(Children().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<QAccessible::Id>& ids = Children();
        if (index < 0 || index >= static_cast<int>(ids.size())) return nullptr;
        return QAccessible::accessibleInterface(ids[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<QAccessible::Id>& ids = Children();
        for (std::size_t i = 0; i < ids.size(); ++i)
            if (QAccessible::accessibleInterface(ids[i]) == child) return static_cast<int>(i);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* c = child(i);
            if (c != nullptr && c->rect().contains(x, y)) return c;
        }
        return nullptr;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The text interface over the plain caption; nothing is selectable.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        return Plain().mid(startOffset, std::max(0, endOffset - startOffset));
    }
    using QAccessibleWidget::text;
    int characterCount() const override { return static_cast<int>(Plain().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        (void)offset;
        return {};
    }

private:
    TMarkupLabel* Label() const { return static_cast<TMarkupLabel*>(widget()); }
    QString Plain() const { return text(QAccessible::Name); }

    // One registered child per anchor index, made anew when their number changes.
    const std::vector<QAccessible::Id>& Children() const {
        int count = 0;
        for (const TAnchorHit& a : Label()->AnchorPieces()) count = std::max(count, a.Index);
        if (static_cast<int>(FChildren.size()) != count) {
            Forget();
            auto* self = const_cast<TMarkupLabelAccessible*>(this);
            for (int i = 1; i <= count; ++i)
                FChildren.push_back(QAccessible::registerAccessibleInterface(new TAnchorAccessible(Label(), self, i)));
        }
        return FChildren;
    }
    void Forget() const {
        for (const QAccessible::Id id : FChildren) QAccessible::deleteAccessibleInterface(id);
        FChildren.clear();
    }

    mutable std::vector<QAccessible::Id> FChildren;
};

}  // namespace

QAccessibleInterface* MarkupLabelAccessibleFactory(const QString&, QObject* object) {
    if (auto* label = qobject_cast<TMarkupLabel*>(object)) return new TMarkupLabelAccessible(label);
    return nullptr;
}

}  // namespace qm
