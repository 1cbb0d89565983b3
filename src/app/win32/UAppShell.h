// Program shell on Windows: the error message box every failure that leaves
// a handler ends in, and the guard that turns such failures into it.
#pragma once

#include "UWinApi.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qm {

// Where error messages go. The program shows MessageBoxW; the headless run
// prints them, tests record them. Used on the user-interface thread only.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows `text` under `title` (both UTF-8) with an error icon and an OK
    // button; returns when the user has closed it.
    virtual void ShowError(const std::string& title, const std::string& text) = 0;
};

// MessageBoxW with MB_OK | MB_ICONERROR, owned by the program's window
// (SetMessageBoxOwner) while that is shown; else a box of its own on the
// task bar.
class TWinMessageBox : public IMessageBox {
public:
    void ShowError(const std::string& title, const std::string& text) override;
};

// The window the error boxes belong to from now on (the dialog, once it
// exists); null: none. On the user-interface thread.
void SetMessageBoxOwner(HWND owner) noexcept;
// The window last given to SetMessageBoxOwner.
HWND MessageBoxOwner() noexcept;

// Installs `box` as the message box and returns the previous one; nullptr
// restores TWinMessageBox.
std::unique_ptr<IMessageBox> ReplaceMessageBox(std::unique_ptr<IMessageBox> box);

// Shows `text` unchanged under kApplicationTitle.
void ShowErrorBox(std::string_view text);
// Shows `message` (by MessageBoxText) under kApplicationTitle.
void ShowErrorMessage(std::string_view message);

// Runs `handler`; an exception leaving it is shown by ShowErrorMessage (its
// what() text, kUnknownErrorMessage for anything that is not a
// std::exception) and swallowed: no exception may cross a window procedure.
// Returns false when the handler failed.
bool RunGuarded(const std::function<void()>& handler) noexcept;

}  // namespace qm
