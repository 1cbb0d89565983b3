// Program shell on Qt: the error message box every failure that leaves a
// handler ends in, and the application object that catches those failures.
// The title and the message text rule are the controller's
// (UDialogController.h).
#pragma once

#include <QApplication>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "UDialogController.h"

namespace qm {

// Where error messages go. The program shows a modal Qt message box; tests
// install a recorder. Used on the user-interface thread only.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows `text` under `title` with an error icon and an OK button; returns
    // when the user has closed it.
    virtual void ShowError(const std::string& title, const std::string& text) = 0;
};

// Modal QMessageBox::critical, parented to the active window.
class TQtMessageBox : public IMessageBox {
public:
    void ShowError(const std::string& title, const std::string& text) override;
};

// Installs `box` as the message box and returns the previous one; nullptr
// restores the Qt message box.
std::unique_ptr<IMessageBox> ReplaceMessageBox(std::unique_ptr<IMessageBox> box);

// Shows `text` unchanged under kApplicationTitle.
void ShowErrorBox(std::string_view text);
// Shows `message` (by MessageBoxText) under kApplicationTitle.
void ShowErrorMessage(std::string_view message);

// Runs `handler`; an exception leaving it is shown by ShowErrorMessage (its
// what() text, kUnknownErrorMessage for anything that is not a
// std::exception) and swallowed. Returns false when the handler failed.
bool RunGuarded(const std::function<void()>& handler);

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
