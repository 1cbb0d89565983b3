#include <QApplication>

#include "ULiveImportFrm.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    qm::TLiveImportFrm form;
    form.show();
    return QApplication::exec();
}
