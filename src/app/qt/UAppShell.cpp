#include "UAppShell.h"

#include <QMessageBox>
#include <QString>

namespace qm {

namespace {

std::unique_ptr<IMessageBox>& CurrentMessageBox() {
    static std::unique_ptr<IMessageBox> box = std::make_unique<TQtMessageBox>();
    return box;
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void TQtMessageBox::ShowError(const std::string& title, const std::string& text) {
    QMessageBox::critical(QApplication::activeWindow(), ToQString(title), ToQString(text), QMessageBox::Ok);
}

std::unique_ptr<IMessageBox> ReplaceMessageBox(std::unique_ptr<IMessageBox> box) {
    if (!box) box = std::make_unique<TQtMessageBox>();
    CurrentMessageBox().swap(box);
    return box;
}

void ShowErrorBox(std::string_view text) {
    CurrentMessageBox()->ShowError(std::string(kApplicationTitle), std::string(text));
}

void ShowErrorMessage(std::string_view message) { ShowErrorBox(MessageBoxText(message)); }

bool RunGuarded(const std::function<void()>& handler) {
    // The message box runs an event loop of its own: show it after the
    // exception is gone, not from inside the catch clause.
    std::string message;
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = kUnknownErrorMessage;
    }
    ShowErrorMessage(message);
    return false;
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
