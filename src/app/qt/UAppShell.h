// Program shell on Qt: the error message box every failure that leaves a
// handler ends in (installed by the program's main), and the application
// object that catches those failures. The guard itself is UErrorGuard.h.
#pragma once

#include <QApplication>
#include <functional>
#include <string>

#include "UErrorGuard.h"

namespace qm {

// Modal QMessageBox::critical, parented to the active window.
class TQtMessageBox : public IMessageBox {
public:
    void ShowError(const std::string& title, const std::string& text) override;
};

// Delivers an event through `deliver` as RunGuarded does; a failed delivery
// counts as handled (true), so the event loop goes on.
bool NotifyGuarded(const std::function<bool()>& deliver);

// The application object: title "Quillmark", and every exception that
// leaves an event handler is shown in the error message box while the
// dialog stays open.
class TQuillmarkApplication : public QApplication {
public:
    TQuillmarkApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace qm
