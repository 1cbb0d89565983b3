#include "UAppShell.h"

#include <QMessageBox>
#include <QString>
#include <string_view>

#include "UDialogController.h"

namespace qm {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void TQtMessageBox::ShowError(const std::string& title, const std::string& text) {
    QMessageBox::critical(QApplication::activeWindow(), ToQString(title), ToQString(text), QMessageBox::Ok);
}

bool NotifyGuarded(const std::function<bool()>& deliver) {
    bool handled = true;
    RunGuarded([&] { handled = deliver(); });
    return handled;
}

TQuillmarkApplication::TQuillmarkApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Only the name: an explicit display name would be appended to every
    // window caption on X11.
    setApplicationName(ToQString(kApplicationTitle));
}

bool TQuillmarkApplication::notify(QObject* receiver, QEvent* event) {
    return NotifyGuarded([&] { return QApplication::notify(receiver, event); });
}

}  // namespace qm
