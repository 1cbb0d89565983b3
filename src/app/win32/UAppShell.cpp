#include "UAppShell.h"

#include "UWinApi.h"

#include <exception>

#include "UDialogController.h"
#include "UWinText.h"

namespace qm {

namespace {

std::unique_ptr<IMessageBox>& CurrentMessageBox() {
    static std::unique_ptr<IMessageBox> box = std::make_unique<TWinMessageBox>();
    return box;
}

HWND GOwner = nullptr;

}  // namespace

void SetMessageBoxOwner(HWND owner) noexcept { GOwner = owner; }

HWND MessageBoxOwner() noexcept { return GOwner; }

void TWinMessageBox::ShowError(const std::string& title, const std::string& text) {
    const std::wstring wideTitle = ToWide(title);
    const std::wstring wideText = ToWide(text);
    // Not the thread's active window, which may be none or another program's:
    // the box sits over the dialog and keeps it from input while it is open.
    // A hidden dialog (before it is shown) would hide the box's task bar
    // button with it.
    const HWND owner = GOwner != nullptr && IsWindow(GOwner) && IsWindowVisible(GOwner) ? GOwner : nullptr;
    MessageBoxW(owner, wideText.c_str(), wideTitle.c_str(), MB_OK | MB_ICONERROR);
}

std::unique_ptr<IMessageBox> ReplaceMessageBox(std::unique_ptr<IMessageBox> box) {
    if (!box) box = std::make_unique<TWinMessageBox>();
    CurrentMessageBox().swap(box);
    return box;
}

void ShowErrorBox(std::string_view text) {
    CurrentMessageBox()->ShowError(std::string(kApplicationTitle), std::string(text));
}

void ShowErrorMessage(std::string_view message) { ShowErrorBox(MessageBoxText(message)); }

bool RunGuarded(const std::function<void()>& handler) noexcept {
    // The box runs a message loop of its own: show it once the exception is
    // gone, not from inside the catch clause.
    std::string message;
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = kUnknownErrorMessage;
    }
    try {
        ShowErrorMessage(message);
    } catch (...) {
        // Not even the box could be shown (out of memory): nothing is left to tell.
    }
    return false;
}

}  // namespace qm
