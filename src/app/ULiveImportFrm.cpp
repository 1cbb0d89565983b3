#include "ULiveImportFrm.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include "UAppShell.h"
#include "ULoadCardEvent.h"
#include "UQtScreens.h"
#include "UScreenSetup.h"

namespace qm {

namespace {

constexpr QPoint kDesignPosition{233, 303};

}  // namespace

TLiveImportFrm::TLiveImportFrm(QWidget* parent) : QWidget(parent), PC(new QWidget(this)) {
    setObjectName(QStringLiteral("LiveImportFrm"));
    setWindowTitle(QStringLiteral("Quillmark"));
    setFixedSize(474, 503);
    move(kDesignPosition);
    PC->setObjectName(QStringLiteral("PC"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PC);
    // A failure while setting up is shown and the dialog still opens, with
    // the steps before the failure done.
    RunGuarded([this] { FormCreate(); });
}

void TLiveImportFrm::FormCreate() {
    // Components are owned by the form, whatever widget they sit in.
    TPropertyObject form("TLiveImportFrm", "LiveImportFrm", true);
    DefineWidgetProperties(form, *this);
    DefineWidgetProperties(form.AddComponent("TPanel", "PC"), *PC);
    ApplyScreenSetup(form, true);
}

void TLiveImportFrm::PlaceNearHost(std::string_view metrics) {
    PlaceFromHostMetrics(*this, metrics);
    const QPoint corner = frameGeometry().topLeft();
    KeepLeftOnMonitor(*this, TPoint{corner.x(), corner.y()});
}

bool TLiveImportFrm::event(QEvent* event) {
    if (event->type() == TLoadCardEvent::kType) {
        WMLoadCard(static_cast<TLoadCardEvent*>(event)->Large());
        return true;
    }
    return QWidget::event(event);
}

void TLiveImportFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TLiveImportFrm::FormShow() { PostLoadCard(*this, false); }

void TLiveImportFrm::WMLoadCard([[maybe_unused]] bool large) {
    // The load of the host record and the build of the card join here.
}

void TLiveImportFrm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            close();
            return;
        case Qt::Key_F5:
            PostLoadCard(*this, false);
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace qm
