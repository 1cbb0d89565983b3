#include "UQtScreens.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace qm {

namespace {

TRect ToRect(const QRect& r) {
    // QRect's right() and bottom() are inclusive; TRect's edges are exclusive.
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

// The palette role that stands for a desktop colour index (COLOR_* numbering).
QPalette::ColorRole RoleOfSystemColor(int index) {
    switch (index) {
        case 5: return QPalette::Base;              // clWindow
        case 7:                                     // clMenuText
        case 8: return QPalette::Text;              // clWindowText
        case 13:                                    // clHighlight
        case 29: return QPalette::Highlight;        // clMenuHighlight
        case 14: return QPalette::HighlightedText;  // clHighlightText
        case 15: return QPalette::Button;           // clBtnFace
        case 16: return QPalette::Dark;             // clBtnShadow
        case 17: return QPalette::PlaceholderText;  // clGrayText
        case 18: return QPalette::ButtonText;       // clBtnText
        case 20: return QPalette::Light;            // clBtnHighlight
        case 21: return QPalette::Shadow;           // cl3DDkShadow
        case 22: return QPalette::Midlight;         // cl3DLight
        case 23: return QPalette::ToolTipText;      // clInfoText
        case 24: return QPalette::ToolTipBase;      // clInfoBk
        case 26: return QPalette::Link;             // clHotLight
        default: return QPalette::Window;
    }
}

// Sets one palette role of the widget; false (nothing set) for clNone and clDefault.
bool SetPaletteColor(QWidget& widget, QPalette::ColorRole role, TColor value) {
    const QColor color = ColorToQColor(value);
    if (!color.isValid()) return false;
    QPalette palette = widget.palette();
    palette.setColor(role, color);
    widget.setPalette(palette);
    return true;
}

}  // namespace

std::vector<TMonitor> MonitorsFromScreens() {
    std::vector<TMonitor> monitors;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens())
        monitors.push_back({ToRect(screen->geometry()), ToRect(screen->availableGeometry()), screen == primary});
    return monitors;
}

TFormBounds FormBoundsOf(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    TFormBounds form;
    form.Left = frame.x();
    form.Top = frame.y();
    form.Width = frame.width();
    form.Height = frame.height();
    form.HasBorder = !window.windowFlags().testFlag(Qt::FramelessWindowHint);
    return form;
}

void MoveWindowTo(QWidget& window, const TFormBounds& form) {
    // For a top-level window QWidget::move positions the frame's corner.
    if (window.pos() != QPoint(form.Left, form.Top)) window.move(form.Left, form.Top);
}

QColor ColorToQColor(TColor color) {
    if (const auto rgb = PlainColorToRgb(color)) return QColor(rgb->R, rgb->G, rgb->B);
    if (const auto index = SystemColorIndex(color)) return QApplication::palette().color(RoleOfSystemColor(*index));
    return {};
}

void DefineWidgetProperties(TPropertyObject& object, QWidget& widget) {
    QWidget* target = &widget;
    object.DefineOrdinal("Color", [target](std::int64_t value) {
        if (value < 0 || value > 0xFFFFFFFF) return;
        if (SetPaletteColor(*target, target->backgroundRole(), static_cast<TColor>(value))) {
            target->setAutoFillBackground(true);
        }
    });
    TPropertyObject& font = object.DefineObject("Font", "TFont");
    font.DefineString("Name", [target](const std::string& name) {
        // A family the system lacks keeps the desktop's sans-serif font.
        const QString family = QString::fromStdString(name);
        if (!QFontDatabase::hasFamily(family)) return;
        QFont f = target->font();
        f.setFamily(family);
        target->setFont(f);
    });
    font.DefineOrdinal("Size", [target](std::int64_t points) {
        if (points <= 0 || points > 1000) return;
        QFont f = target->font();
        f.setPointSize(static_cast<int>(points));
        target->setFont(f);
    });
    font.DefineOrdinal("Color", [target](std::int64_t value) {
        if (value < 0 || value > 0xFFFFFFFF) return;
        SetPaletteColor(*target, target->foregroundRole(), static_cast<TColor>(value));
    });
}

}  // namespace qm
