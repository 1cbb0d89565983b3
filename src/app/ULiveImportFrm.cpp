#include "ULiveImportFrm.h"

#include <QKeyEvent>

namespace qm {

TLiveImportFrm::TLiveImportFrm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Quillmark"));
    setFixedSize(474, 503);
}

void TLiveImportFrm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace qm
